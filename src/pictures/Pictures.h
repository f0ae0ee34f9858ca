// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QStringList>
#include <QStringView>

// The program's pictures: SVG files in the ":/pictures" resource (the folder
// src/pictures/svg), drawn sharp at whatever size a button, tab or menu asks
// for. To add one, put its file in that folder and list it in CMakeLists.txt.
namespace qv::Pictures {

// The picture whose file is `name` + ".svg". A name with no file gives a null
// icon and a warning, so a missing asset shows as a gap, not a crash.
QIcon icon(QStringView name);

// Every picture in the resource, by name, sorted.
QStringList names();

} // namespace qv::Pictures
