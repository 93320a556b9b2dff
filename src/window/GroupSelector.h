#pragma once
#include <string>
#include <vector>

class QWidget;

// The "Group Selector" window: every group name, several selectable, with
// "&OK" and "&Cancel". The names chosen count whichever button closes it.
std::vector<std::string> ChooseGroups(QWidget* parent, const std::vector<std::string>& groups);
