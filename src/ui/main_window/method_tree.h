// The methods tree of the class browser: one top-level node per method, its
// input parameters and then its output parameters as children, each node
// carrying the index of its picture so that the copy commands can tell an
// input parameter from an output one.
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/bw_wmi.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

class ImageList;

// The names in one parameter line of ClassMethods ("A, B, C"): the fields
// between commas, trimmed, up to the first empty one.
std::vector<std::string> ParameterNames(std::string_view line);

// Adds the methods to the tree: names[i] with the parameters of inParams[i]
// and outParams[i]. A method whose parameter lines are missing (the lists were
// cut short by a failure) is added without children.
void AddMethodNodes(QTreeWidget& tree, const ImageList& images, const wmi::TextList& names,
                    const wmi::TextList& inParams, const wmi::TextList& outParams);

// The picture index of a node of the methods tree (kImageNone for a node that
// was not made by AddMethodNodes).
int NodeImageIndex(const QTreeWidgetItem& node);

}  // namespace ui
