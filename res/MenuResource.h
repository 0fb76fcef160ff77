#pragma once

// Menu resources: the game window's title menu (156) is the only one.

#include <string>
#include <vector>

namespace res {

struct MenuItem {
  int command;
  std::u16string text;
};

// One pop-up menu: its title and its items in order.
struct MenuResource {
  std::u16string title;
  std::vector<MenuItem> items;
};

constexpr int kTitleMenu = 156;
constexpr int kCommandRefresh = 32772;
constexpr int kCommandClearCache = 32773;

// Menu `number`, or null when the program has no such menu.
const MenuResource* FindMenu(int number);

}  // namespace res
