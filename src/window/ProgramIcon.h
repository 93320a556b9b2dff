#pragma once
#include <QIcon>

// The program's icon, drawn at run time in the design of vexa2.svg: a blue
// rounded square with a white "V" between an up and a down arrow.
QIcon ProgramIcon();
