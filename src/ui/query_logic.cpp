#include "ui/query_logic.h"

#include <cmath>
#include <cstdio>

namespace ui {

int resultColumnWidth(int clientWidth, int columns) {
    int width;
    if (columns >= 3)
        width = clientWidth / columns - 1;
    else
        width = static_cast<int>(std::nearbyint(clientWidth / 2.3));  // ties to even
    return width < 90 ? 90 : width;
}

std::string executionTimeText(double seconds, std::string_view decimalSeparator) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%1.4f", seconds);
    std::string number = buf;
    if (auto dot = number.find('.'); dot != std::string::npos)
        number.replace(dot, 1, decimalSeparator);
    return "Query execution time: " + number + " sec";
}

std::string queryStatusText(const std::string& timeText, int32_t rows) {
    std::string count = std::to_string(rows) + (rows == 1 ? " row" : " rows");
    return timeText.empty() ? count : count + " \u00b7 " + timeText;
}

}  // namespace ui
