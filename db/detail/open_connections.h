#pragma once

// Internal to the database layer: the connections that are attached right now, so that a stop
// request can cancel what they run from another thread. A connection is listed from the moment it is
// attached until just before it detaches; the list's lock is held while a cancel is sent, so a
// connection never detaches under a cancel.

namespace lumvik::db {

class Connection;

void addOpenConnection(Connection* connection);
void removeOpenConnection(Connection* connection);

}  // namespace lumvik::db
