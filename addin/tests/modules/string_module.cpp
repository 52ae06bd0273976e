// A resource module for the tests: a shared object that exports its string
// table the way every loadable resource module does.
#include "addin/string_resources.h"

namespace {

const StringResource kTable[] = {
    {1, u"资源模块一"},
    {2, u"module two"},
    {300, u"第三百"},
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const StringResource* GetStringResourceTable(int* count) {
  *count = static_cast<int>(sizeof kTable / sizeof kTable[0]);
  return kTable;
}
