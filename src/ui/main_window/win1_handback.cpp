// The last step of a close request: offering the edited query back to the
// program that started this one ("-wp:"), which may keep the window open.
#include "handback/offer_rules.h"
#include "handback/sender.h"
#include "ui/dialogs/prompts.h"
#include "ui/main_window/query_pane.h"
#include "ui/main_window/win1.h"
#include "ui/text_codec.h"
#include "ui/widgets/wait_cursor.h"

namespace ui {

void TMainWin::HandBackQuery(bool& canClose) {
    // The text in the box, run or not, in the system's 8-bit text (UTF-8).
    const std::string query = wmi::Trimmed(toSystem(query_->queryText()));
    if (!handback::ShouldOfferQuery(Params.CallerWindow, query, Params.CommandLineQuery)) return;
    if (!prompts_.question(QStringLiteral("Send query string to Watchpost?"))) return;
    if (handback::ShouldWarnAboutStar(query, query_->resultColumnCount() > 0) &&
        prompts_.question(QStringLiteral("Watchpost requires specific field name instead of *\n"
                                         "Would you like to modify WMI query?"))) {
        canClose = false;  // the user goes back to name the fields
        return;
    }
    // Blocks for at most the send limit; the window closes whatever came of it.
    WaitCursor wait;
    handback::SendHandBack(Params.CallerWindow, query);
}

}  // namespace ui
