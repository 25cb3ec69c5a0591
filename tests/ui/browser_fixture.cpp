#include "browser_fixture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QThread>
#include <mutex>

#include "ui/main_window/method_tree.h"
#include "wmi/bw_wmi.h"

namespace uitest {

namespace {

constexpr const char* kHost = "browsehost";

const char* const kBrowseMof = R"MOF(
class Gadget
{
    [key] uint32 Id;
    string Name;
    string Note;
    uint32 Reset();
    uint32 Move([In] sint32 X, [In] sint32 Y, [Out] sint32 Distance);
};

class Bare { };

class Tool
{
    [key] uint32 Id;
    string Caption;
    string DeviceID;
};

class Bulk { [key] uint32 Id; string Name; };
class Shifting { [key] uint32 Id; string Name; uint32 Reset(); };
class Failing { [key] uint32 Id; string Name; uint32 Reset(); };

instance of Gadget { Id = 1; Name = "first"; Note = "line one\nline two"; };
instance of Gadget { Id = 2; Name = "second"; Note = ""; };
instance of Gadget { Id = 3; Name = "third"; };
instance of Tool { Id = 1; Caption = "hammer"; DeviceID = "T1"; };

class Letters { [key] string Name; };
instance of Letters { Name = "za\x017C\x00F3\x0142\x0107 \x03C0 \x65E5\x672C"; };
)MOF";

// Fails the class lookups (Get) that the window thread makes, by their number
// counted from 1, so that one step of a class selection can fail alone; the
// instance thread's connections pass untouched.
struct GetFaults {
    std::mutex mu;
    std::set<int> failing;
    int windowGets = 0;
};

class FaultyServices : public wbem::ISWbemServices {
  public:
    FaultyServices(std::shared_ptr<wbem::ISWbemServices> real, std::shared_ptr<GetFaults> faults,
                   QThread* window)
        : real_(std::move(real)), faults_(std::move(faults)), window_(window) {}
    std::shared_ptr<wbem::ISWbemObjectSet> SubclassesOf(std::string_view s, int32_t f) override {
        return real_->SubclassesOf(s, f);
    }
    std::shared_ptr<wbem::ISWbemObject> Get(std::string_view path, int32_t f) override {
        if (QThread::currentThread() == window_) {
            std::lock_guard lk(faults_->mu);
            if (faults_->failing.count(++faults_->windowGets))
                throw wbem::WbemError(wbem::hr::Failed, "Injected failure");
        }
        return real_->Get(path, f);
    }
    std::shared_ptr<wbem::ISWbemObjectSet> InstancesOf(std::string_view c, int32_t f) override {
        return real_->InstancesOf(c, f);
    }
    std::shared_ptr<wbem::ISWbemObjectSet> ExecQuery(std::string_view q, std::string_view l,
                                                     int32_t f) override {
        return real_->ExecQuery(q, l, f);
    }

  private:
    std::shared_ptr<wbem::ISWbemServices> real_;
    std::shared_ptr<GetFaults> faults_;
    QThread* window_;
};

class FaultyLocator : public wbem::ISWbemLocator {
  public:
    FaultyLocator(std::shared_ptr<GetFaults> faults, QThread* window)
        : real_(wbem::CreateLocator()), faults_(std::move(faults)), window_(window) {}
    wbem::ISWbemSecurity& Security_() override { return real_->Security_(); }
    std::shared_ptr<wbem::ISWbemServices> ConnectServer(
        std::string_view server, std::string_view nspace, std::string_view user,
        std::string_view password, std::string_view locale, std::string_view authority,
        int32_t flags, const wbem::IDispatchLike* ctx) override {
        return std::make_shared<FaultyServices>(
            real_->ConnectServer(server, nspace, user, password, locale, authority, flags, ctx),
            faults_, window_);
    }

  private:
    std::shared_ptr<wbem::ISWbemLocator> real_;
    std::shared_ptr<GetFaults> faults_;
    QThread* window_;
};

}  // namespace

void BrowserTest::SetUp() {
    WindowTest::SetUp();
    host_ = std::make_unique<wmitest::ScopedHost>(kHost, kBrowseMof);
    host_->generate("Bulk", kBulkCount, [](int i, wbem::Instance& inst) {
        inst.set("Id", wbem::CimValue::uint(uint64_t(i)));
        inst.set("Name", wbem::CimValue::string("bulk " + std::to_string(i)));
    });
    host_->generate("Shifting", 3, [shift = shift_](int i, wbem::Instance& inst) {
        const int id = i + shift->load();
        inst.set("Id", wbem::CimValue::uint(uint64_t(id)));
        inst.set("Name", wbem::CimValue::string("item " + std::to_string(id)));
    });
    host_->generate("Failing", 10, [](int i, wbem::Instance& inst) {
        if (i == 2) wbem::fail(wbem::hr::ProviderFailure);
        inst.set("Name", wbem::CimValue::string("ok " + std::to_string(i)));
    });
    window = makeWindow({std::string("-host:") + kHost});
    window->show();
    window->FormActivate();
    // Count the ends of runs the window is told about.
    QObject::connect(&instances(), &ui::InstanceBrowser::listingDone, window.get(),
                     [this] { ++doneCalls; });
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
}

void BrowserTest::TearDown() {
    wmi::SetLocatorFactory({});
    window.reset();
    host_.reset();
    WindowTest::TearDown();
}

void BrowserTest::clickClass(const QString& name, Qt::KeyboardModifiers modifiers) {
    const auto found = classListBox().findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    classListBox().scrollToItem(found.first());
    QTest::mouseClick(classListBox().viewport(), Qt::LeftButton, modifiers,
                      classListBox().visualItemRect(found.first()).center());
}

void BrowserTest::clickLine(int row) {
    ui::InstanceLineBox& list = instanceListBox();
    list.scrollToItem(list.item(row));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(list.item(row)).center());
}

bool BrowserTest::waitDone(int calls) {
    return QTest::qWaitFor([&] { return doneCalls >= calls; }, 30000);
}

std::vector<std::string> BrowserTest::lines() const {
    std::vector<std::string> out;
    for (int i = 0; i < instanceListBox().count(); ++i) out.push_back(instanceListBox().line(i));
    return out;
}

QStringList BrowserTest::gridColumn(int c) const {
    QStringList out;
    for (int r = 0; r < propGrid().RowCount(); ++r) out << propGrid().Cell(c, r);
    return out;
}

std::vector<std::pair<QString, int>> BrowserTest::topNodes() const {
    std::vector<std::pair<QString, int>> out;
    for (int i = 0; i < treeView1().topLevelItemCount(); ++i) {
        const QTreeWidgetItem* node = treeView1().topLevelItem(i);
        out.emplace_back(node->text(0), ui::NodeImageIndex(*node));
    }
    return out;
}

QString BrowserTest::clipboard() { return QGuiApplication::clipboard()->text(); }

void BrowserTest::selectGridRows(int first, int last) {
    ui::StringGrid& g = propGrid();
    auto rowCenter = [&](int row) { return g.visualRect(g.model()->index(row - 1, 0)).center(); };
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, rowCenter(first));
    QTest::mouseClick(g.viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCenter(last));
}

void BrowserTest::failWindowGets(std::set<int> calls) {
    auto faults = std::make_shared<GetFaults>();
    faults->failing = std::move(calls);
    QThread* windowThread = QThread::currentThread();
    wmi::SetLocatorFactory(
        [faults, windowThread] { return std::make_shared<FaultyLocator>(faults, windowThread); });
}

}  // namespace uitest
