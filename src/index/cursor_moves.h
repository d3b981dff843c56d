// The cursor's search and steps, shared by the exported moves and the edits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "index/index_state.h"
#include "osprey32.h"

namespace osp::index {

// The search proper: key is len bytes, len at most the key length. Returns the
// record number found or 0; see search in index_file.h for where it leaves
// the cursor.
int32_t find(const IdxHandle* h, IndexState* s, const uint8_t* key, size_t len);

// Moves one entry forward / backward from where the cursor stands and returns
// that entry's record number. 0 when the walk runs off the end, or when a page
// cannot be had (then s->failed is set); the cursor is unpositioned either way.
int32_t step_forward(const IdxHandle* h, IndexState* s);
int32_t step_backward(const IdxHandle* h, IndexState* s);

}  // namespace osp::index
