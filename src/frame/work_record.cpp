#include "frame/work_record.h"

namespace osp {

uint8_t work_record[kWorkRecordSize];

}  // namespace osp
