#include "res/MenuResource.h"

namespace res {

const MenuResource* FindMenu(int number) {
  // Built on first use, so callers during static initialisation are safe.
  static const MenuResource titleMenu{
      u"设置",
      {
          {kCommandRefresh, u"刷新  F5"},  // two blanks before F5
          {kCommandClearCache, u"清空缓存"},
      },
  };
  return number == kTitleMenu ? &titleMenu : nullptr;
}

}  // namespace res
