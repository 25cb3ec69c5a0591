#include "ui/main_window/method_tree.h"

#include <QTreeWidget>

#include "ui/text_codec.h"
#include "ui/widgets/image_list.h"
#include "wmi/bw_variant.h"

namespace ui {

namespace {

// Where a node keeps its picture index; the icon alone cannot be read back.
constexpr int kImageRole = Qt::UserRole + 1;

QTreeWidgetItem* newNode(const ImageList& images, const std::string& text, int image) {
    auto* node = new QTreeWidgetItem(QStringList{fromSystem(text)});
    // The same picture whether the node is selected or not.
    node->setIcon(0, images.icon(image));
    node->setData(0, kImageRole, image);
    return node;
}

void addParameters(QTreeWidgetItem& method, const ImageList& images, const wmi::TextList& lines,
                   size_t index, int image) {
    if (index >= lines.size()) return;
    for (const std::string& name : ParameterNames(lines[index]))
        method.addChild(newNode(images, name, image));
}

}  // namespace

std::vector<std::string> ParameterNames(std::string_view line) {
    std::vector<std::string> names;
    for (int k = 1;; ++k) {
        std::string field = wmi::Trimmed(wmi::NthField(line, k, ','));
        if (field.empty()) break;
        names.push_back(std::move(field));
    }
    return names;
}

void AddMethodNodes(QTreeWidget& tree, const ImageList& images, const wmi::TextList& names,
                    const wmi::TextList& inParams, const wmi::TextList& outParams) {
    QList<QTreeWidgetItem*> methods;
    methods.reserve(qsizetype(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        QTreeWidgetItem* method = newNode(images, names[i], kImageMethod);
        addParameters(*method, images, inParams, i, kImageInParameter);
        addParameters(*method, images, outParams, i, kImageOutParameter);
        methods.push_back(method);
    }
    tree.addTopLevelItems(methods);  // collapsed: nothing is expanded here
}

int NodeImageIndex(const QTreeWidgetItem& node) {
    const QVariant image = node.data(0, kImageRole);
    return image.isValid() ? image.toInt() : kImageNone;
}

}  // namespace ui
