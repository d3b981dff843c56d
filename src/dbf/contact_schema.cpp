#include "dbf/contact_schema.h"

namespace osp::dbf {

const FieldSpec kContactFields[kContactFieldCount] = {
    {"CALLS", 6}, {"IGN", 1},  {"POTBL", 3}, {"CODE", 6}, {"GL", 6},   {"FREQ", 4}, {"MODE", 3},
    {"NAME", 12}, {"QSL", 3},  {"DATE", 3},  {"TIME", 2}, {"RST", 4},  {"OFS", 4},
};

}  // namespace osp::dbf
