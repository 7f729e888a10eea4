#pragma once

// Our thin layer over the Firebird client: connections that take Name=Value parameter lines,
// statement objects that read forward, row sets that fetch their whole result and write rows back
// to the one table they read, and one error type that carries the server's text and codes.
//
// Every statement runs in a transaction of its own that is committed when the statement ends, so
// everything done before a failure stays done. Texts are UTF-8 inside the program and code page 950
// bytes in the databases; the conversion happens here and nowhere else.
//
// Threading: a connection and everything bound to it belong to one thread.

#include "db/batch.h"
#include "db/connection.h"
#include "db/database.h"
#include "db/error.h"
#include "db/field_source.h"
#include "db/named_params.h"
#include "db/param_list.h"
#include "db/row_set.h"
#include "db/run_end.h"
#include "db/sql_query.h"
#include "db/statement_observer.h"
#include "db/stop_request.h"
#include "db/transaction.h"
#include "db/value.h"
