// Index building, phase 2: the sorted runs are merged pairwise, back and forth
// between the two work files, until one run remains.
#pragma once

#include <cstdint>

#include "frame/file.h"
#include "index/runs.h"

namespace osp::index {

// Merges the runs of space's run table, which lie in files[0], until one is
// left. Each pass reads one file and rewrites the other from its start: runs
// 2i and 2i+1 become run i (ties go to the earlier run), and an odd last run
// is copied unchanged. The chunk is cut into three equal parts: two input
// buffers and the output buffer. On 0, *sorted is the index (0 or 1) of the
// file holding the single run, and the run table has one row. Returns 0, or
// 23 when a work file is read or written short (or cannot be positioned).
int32_t merge_runs(SortSpace* space, const FileHandle files[2], int* sorted);

}  // namespace osp::index
