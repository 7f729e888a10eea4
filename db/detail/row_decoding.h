#pragma once

// Internal to the database layer: where the columns stand in a message the engine sent, and how one
// of them reads as a value.

#include "db/value.h"

#include <vector>

namespace lumvik::db {

// Where each column stands in a fetched message.
struct RowLayout {
    std::vector<unsigned> offsets;
    std::vector<unsigned> nullOffsets;
    bool hasBlobs = false;
};

// Whether the null indicator at this offset of a message marks the column NULL.
[[nodiscard]] bool isNull(const unsigned char* message, unsigned nullOffset);

// One column of a fetched message as a value (blobs excepted: they need their transaction).
[[nodiscard]] Value decodeField(const Column& c, const unsigned char* message, unsigned offset,
                                unsigned nullOffset);

}  // namespace lumvik::db
