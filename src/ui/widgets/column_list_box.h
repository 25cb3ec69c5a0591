// A list box of names in three columns of entries (the class list): entries
// run top to bottom and then on in the next column, scrolling sideways, each
// column a third of the list's width.
#pragma once

#include <QListWidget>
#include <string>
#include <vector>

namespace ui {

class ColumnListBox : public QListWidget {
    Q_OBJECT

  public:
    static constexpr int kColumns = 3;

    explicit ColumnListBox(QWidget* parent = nullptr);

    // Replaces the entries with the names, sorted alphabetically without
    // regard to letter case (names equal but for case keep their order).
    void SetSortedItems(std::vector<std::string> names);
    std::vector<std::string> Items() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void updateGrid();
};

// The order of the class list: ASCII letters compared without case.
bool ClassNameLess(const std::string& a, const std::string& b);

}  // namespace ui
