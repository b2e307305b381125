// The Qt-backed platform layers: one viewer per user, the help window,
// language texts put onto live widgets, and the X11 window list.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/QtHelpViewer.h"
#include "platform/qt/QtLanguageModule.h"
#include "platform/qt/QtSingleInstance.h"
#include "platform/qt/X11WindowProbe.h"

namespace orv {
namespace {

// Sets or clears an environment variable for the length of a scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (previous_)
            ::setenv(name_.c_str(), previous_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

class ScriptedProbe : public WindowProbe {
public:
    std::vector<TopLevelWindow> TopLevelWindows() override { return windows; }
    std::vector<TopLevelWindow> windows;
};

// ---------------------------------------------------------------- single instance

class SingleInstanceTest : public testing::Test {
protected:
    QTemporaryDir runtimeDir_;  // mode 0700, as a session's runtime folder is
    ScopedEnv env_{"XDG_RUNTIME_DIR", runtimeDir_.path().toLocal8Bit().constData()};
    ScriptedProbe noWindows_;

    QString SocketFile(const QString& display = QStringLiteral(":0")) const {
        return runtimeDir_.filePath(QStringLiteral("ORV_Teletext-") + display);
    }
};

TEST_F(SingleInstanceTest, AClaimedInstanceIsSeenOnItsDisplayUntilItIsGone) {
    ASSERT_TRUE(runtimeDir_.isValid());
    EXPECT_EQ(QtSingleInstance::SocketPath(QStringLiteral(":0")), SocketFile());
    auto first = std::make_unique<QtSingleInstance>(noWindows_, QStringLiteral(":0"));
    EXPECT_FALSE(first->OtherInstanceRunning());
    first->Claim();
    EXPECT_TRUE(QFile::exists(SocketFile()));
    // It does not take itself for another one.
    EXPECT_FALSE(first->OtherInstanceRunning());

    QtSingleInstance second(noWindows_, QStringLiteral(":0"));
    EXPECT_TRUE(second.OtherInstanceRunning());
    EXPECT_TRUE(second.OtherInstanceRunning());  // still there after answering once
    // The same user on another desktop runs a viewer of its own.
    QtSingleInstance elsewhere(noWindows_, QStringLiteral(":1"));
    EXPECT_FALSE(elsewhere.OtherInstanceRunning());
    elsewhere.Claim();
    EXPECT_TRUE(QFile::exists(SocketFile(QStringLiteral(":1"))));
    EXPECT_TRUE(QtSingleInstance(noWindows_, QStringLiteral(":1")).OtherInstanceRunning());

    first.reset();
    EXPECT_FALSE(QFile::exists(SocketFile()));
    EXPECT_FALSE(second.OtherInstanceRunning());
}

TEST_F(SingleInstanceTest, AStaleSocketFromACrashedCopyIsReplaced) {
    // A socket file nobody listens on, as a killed copy leaves it.
    const QByteArray path = QFile::encodeName(SocketFile());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(SocketFile()));

    QtSingleInstance first(noWindows_, QStringLiteral(":0"));
    EXPECT_FALSE(first.OtherInstanceRunning());
    first.Claim();
    QtSingleInstance second(noWindows_, QStringLiteral(":0"));
    EXPECT_TRUE(second.OtherInstanceRunning());
}

TEST_F(SingleInstanceTest, AMainWindowOfOurClassCountsWithoutASocket) {
    ScriptedProbe desktop;
    desktop.windows = {{"XTerm", "ORV_Teletext"}};
    QtSingleInstance instance(desktop, QStringLiteral(":0"));
    EXPECT_FALSE(instance.OtherInstanceRunning());
    desktop.windows.push_back({"ORV_Teletext", "ORV Videotext"});
    EXPECT_TRUE(instance.OtherInstanceRunning());
}

TEST(SingleInstanceDisplay, EachDisplayHasOneNameAndThePlatformInUseDecides) {
    struct Case {
        const char* Platform;
        const char* X;
        const char* Wayland;
        const char* Key;
    };
    const Case cases[] = {
        {"xcb", ":0", "", ":0"},
        {"xcb", ":0.0", "", ":0"},
        {"xcb", "unix:0", "", ":0"},
        {"xcb", "unix:0.1", "", ":0"},
        {"xcb", ":12.0", "", ":12"},
        {"xcb", "localhost:10.0", "", "localhost:10"},
        {"xcb", ":1", "wayland-0", ":1"},  // XWayland: Qt talks X11
        {"wayland", ":1", "wayland-1", "wayland-1"},
        {"wayland", "", "", "wayland-0"},
        {"offscreen", ":0", "", "offscreen"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QtSingleInstance::DisplayKey(QString::fromLatin1(c.Platform), QString::fromLatin1(c.X),
                                               QString::fromLatin1(c.Wayland)),
                  QString::fromLatin1(c.Key))
            << c.Platform << " " << c.X << " " << c.Wayland;
    // The X11 platform takes "-display" before DISPLAY.
    char program[] = "orvtt", flag[] = "-display", value[] = "unix:3.0";
    char* argv[] = {program, flag, value, nullptr};
    EXPECT_EQ(DisplayArgument(3, argv), QStringLiteral("unix:3.0"));
    EXPECT_TRUE(DisplayArgument(2, argv).isEmpty());
}

// Without a runtime folder the socket lies in a folder of the user's own in
// the shared temp folder; what other users put there never counts.
TEST(SingleInstancePath, WithoutRuntimeFolderOnlyAFolderOfTheUsersOwnIsUsed) {
    const ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    QTemporaryDir shared;  // a sticky temp folder anyone may write in
    ASSERT_EQ(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    const ScopedEnv tmp("TMPDIR", shared.path().toLocal8Bit().constData());
    ScriptedProbe noWindows;
    const QString own = QDir(shared.path()).filePath(QStringLiteral("orvtt-%1").arg(::getuid()));

    // Someone listens where a per-user name in the shared folder would be.
    QLocalServer squatter;
    ASSERT_TRUE(squatter.listen(QDir(shared.path()).filePath(QStringLiteral("ORV_Teletext-%1").arg(::getuid()))));
    QtSingleInstance first(noWindows, QStringLiteral(":0"));
    EXPECT_FALSE(first.OtherInstanceRunning());
    EXPECT_EQ(QtSingleInstance::SocketPath(QStringLiteral(":0")), own + QStringLiteral("/ORV_Teletext-:0"));
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(own).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    first.Claim();
    EXPECT_TRUE(QtSingleInstance(noWindows, QStringLiteral(":0")).OtherInstanceRunning());

    // Opened to others, it is closed again; a link in its place is never followed.
    ASSERT_EQ(::chmod(QFile::encodeName(own).constData(), 0755), 0);
    EXPECT_FALSE(QtSingleInstance::SocketPath(QStringLiteral(":0")).isEmpty());
    ASSERT_EQ(::lstat(QFile::encodeName(own).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    QDir(own).removeRecursively();
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), own));
    EXPECT_TRUE(QtSingleInstance::SocketPath(QStringLiteral(":0")).isEmpty());
    QFile::remove(own);

    // Another user's folder under that name: no socket at all, and the viewer starts.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to play another user";
    ASSERT_TRUE(QDir().mkdir(own));
    QLocalServer foreign;
    ASSERT_TRUE(foreign.listen(own + QStringLiteral("/ORV_Teletext-:0")));
    ASSERT_EQ(::chown(QFile::encodeName(own).constData(), 65534, 65534), 0);
    EXPECT_TRUE(QtSingleInstance::SocketPath(QStringLiteral(":0")).isEmpty());
    EXPECT_FALSE(QtSingleInstance(noWindows, QStringLiteral(":0")).OtherInstanceRunning());
}

// ---------------------------------------------------------------- help viewer

class HelpViewerTest : public testing::Test {
protected:
    std::string Write(const QString& name, const QByteArray& contents) {
        QFile file(folder_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return file.fileName().toStdString();
    }

    QTemporaryDir folder_;
    QtHelpViewer viewer_;
};

TEST_F(HelpViewerTest, ShowsTheFileInASmallWindowWithItsPictures) {
    QImage picture(4, 3, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(folder_.filePath(QStringLiteral("pic.png"))));
    const auto file = Write(QStringLiteral("ORVTTENU.HLP"),
                            "<html><body><h1>Contents</h1><p>Gr\xC3\xBC\xC3\x9F"
                            "e</p><img src=\"pic.png\"></body></html>");

    EXPECT_FALSE(viewer_.IsOpen());
    ASSERT_TRUE(viewer_.OpenContents(file));
    EXPECT_TRUE(viewer_.IsOpen());
    EXPECT_EQ(viewer_.ShownFile(), QString::fromStdString(file));
    const QTextBrowser* window = viewer_.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ORV Teletext Help"));
    EXPECT_EQ(window->size(), QSize(560, 480));
    // Shown as HTML, not as its source text, and decoded as UTF-8.
    EXPECT_TRUE(window->toPlainText().contains(QStringLiteral("Gr\u00FC\u00DFe")));
    EXPECT_FALSE(window->toPlainText().contains(QStringLiteral("<h1>")));
    // The picture's relative name was found in the help file's folder.
    const QVariant image = window->document()->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("pic.png")));
    ASSERT_TRUE(image.isValid());
    QImage loaded;
    if (image.metaType().id() == QMetaType::QByteArray)
        loaded.loadFromData(image.toByteArray());
    else
        loaded = qvariant_cast<QImage>(image);
    EXPECT_EQ(loaded.size(), QSize(4, 3)) << image.metaType().name();
}

TEST_F(HelpViewerTest, ASecondOpenReusesTheWindowAndQuitClosesIt) {
    const auto first = Write(QStringLiteral("ORVTTENU.HLP"), "<p>first file</p>");
    const auto second = Write(QStringLiteral("ORVTTDEU.HLP"), "<p>second file</p>");
    ASSERT_TRUE(viewer_.OpenContents(first));
    const QTextBrowser* window = viewer_.Window();
    ASSERT_TRUE(viewer_.OpenContents(second));
    EXPECT_EQ(viewer_.Window(), window);
    EXPECT_EQ(viewer_.ShownFile(), QString::fromStdString(second));
    EXPECT_TRUE(window->toPlainText().contains(QStringLiteral("second file")));

    // Opening the same file again shows what it holds now.
    Write(QStringLiteral("ORVTTDEU.HLP"), "<p>changed file</p>");
    ASSERT_TRUE(viewer_.OpenContents(second));
    EXPECT_TRUE(viewer_.Window()->toPlainText().contains(QStringLiteral("changed file")));

    viewer_.Quit();
    EXPECT_FALSE(viewer_.IsOpen());
    EXPECT_EQ(viewer_.Window(), nullptr);
    viewer_.Quit();  // quitting twice is harmless
    ASSERT_TRUE(viewer_.OpenContents(first));
    EXPECT_TRUE(viewer_.IsOpen());
}

TEST_F(HelpViewerTest, UnreadableFilesOpenNothing) {
    EXPECT_FALSE(viewer_.OpenContents(folder_.filePath(QStringLiteral("missing.HLP")).toStdString()));
    EXPECT_FALSE(viewer_.OpenContents(folder_.path().toStdString()));
    EXPECT_FALSE(viewer_.OpenContents(""));
    EXPECT_FALSE(viewer_.IsOpen());
    EXPECT_EQ(viewer_.Window(), nullptr);

    // An open window stays as it is.
    const auto good = Write(QStringLiteral("ORVTTENU.HLP"), "<p>kept</p>");
    ASSERT_TRUE(viewer_.OpenContents(good));
    EXPECT_FALSE(viewer_.OpenContents(folder_.filePath(QStringLiteral("missing.HLP")).toStdString()));
    EXPECT_TRUE(viewer_.IsOpen());
    EXPECT_EQ(viewer_.ShownFile(), QString::fromStdString(good));
}

// ---------------------------------------------------------------- language texts

}  // namespace

// Two levels of our own classes over QWidget, the way the viewer's windows are built.
class TBaseForm : public QWidget {
    Q_OBJECT
public:
    TBaseForm() {
        auto* layout = new QVBoxLayout(this);
        bSave = AddWidget<QPushButton>(layout, "bSave", QStringLiteral("Save"));
        lTitle = AddWidget<QLabel>(layout, "lTitle", QStringLiteral("Title"));
    }
    QPushButton* bSave;
    QLabel* lTitle;

protected:
    template <typename W>
    W* AddWidget(QVBoxLayout* layout, const char* name, const QString& text = {}) {
        auto* widget = new W(this);
        widget->setObjectName(QString::fromLatin1(name));
        if constexpr (requires { widget->setText(text); }) widget->setText(text);
        layout->addWidget(widget);
        return widget;
    }
};

namespace test_forms {

class TMainForm : public TBaseForm {
    Q_OBJECT
public:
    TMainForm() {
        setWindowTitle(QStringLiteral("ORV Teletext"));
        auto* box = layout();
        auto* vbox = static_cast<QVBoxLayout*>(box);
        eName = AddWidget<QLineEdit>(vbox, "eName");
        mNotes = AddWidget<QTextEdit>(vbox, "mNotes");
        cbAuto = AddWidget<QCheckBox>(vbox, "cbAuto", QStringLiteral("Auto"));
        seCount = AddWidget<QSpinBox>(vbox, "seCount");
        gbBox = AddWidget<QGroupBox>(vbox, "gbBox");
        lNested = new QLabel(gbBox);
        lNested->setObjectName(QStringLiteral("lNested"));
        mFile = new QMenu(this);
        mFile->setObjectName(QStringLiteral("mFile"));
        aPrint = mFile->addAction(QStringLiteral("Print"));
        aPrint->setObjectName(QStringLiteral("aPrint"));
        setProperty("stationName", QStringLiteral("none"));
    }
    QLineEdit* eName;
    QTextEdit* mNotes;
    QCheckBox* cbAuto;
    QSpinBox* seCount;
    QGroupBox* gbBox;
    QLabel* lNested;
    QMenu* mFile;
    QAction* aPrint;
};

}  // namespace test_forms

namespace {

QStringList NamedComponents(const QObject& window) {
    QStringList names;
    for (const QObject* child : window.findChildren<QObject*>())
        if (!child->objectName().isEmpty() && !child->objectName().startsWith(QLatin1String("qt_")))
            names << child->objectName();
    names.sort();
    return names;
}

LanguageModule GermanTexts() {
    LanguageModule module;
    // The window's own class comes first in the file, yet its texts must win
    // over the base class's: the class chain decides the order, not the file.
    module.Parse(R"([TMainForm]
.Caption=ORV Videotext
lTitle.Caption=Titel
bSave.Caption=&Speichern
eName.Text=Name
eName.Hint=<b>name</b> of the page
mNotes.Text=Zeile 1\nZeile 2
cbAuto.checked=true
seCount.value=7
seCount.value=sieben
gbBox.Caption=Gruppe
lNested.Caption=Innen
lNested.textFormat=PlainText
mFile.Caption=&Datei
aPrint.Caption=&Drucken
aPrint.Hint=Seite drucken
.stationName=ARD
missing.Caption=nicht da
bSave.noSuchProperty=1
[TBaseForm]
lTitle.Caption=Basis
bSave.Hint=Seite speichern
[QWidget]
.Caption=never
[TOtherForm]
bSave.Hint=never
)");
    return module;
}

TEST(LanguageTexts, OwnClassesAreReadBaseFirstOntoExistingComponents) {
    test_forms::TMainForm window;
    const QStringList names = NamedComponents(window);
    ReloadWindowTexts(window, GermanTexts());

    EXPECT_EQ(window.windowTitle(), QStringLiteral("ORV Videotext"));
    EXPECT_EQ(window.lTitle->text(), QStringLiteral("Titel"));
    EXPECT_EQ(window.bSave->text(), QStringLiteral("&Speichern"));
    EXPECT_EQ(window.bSave->toolTip(), QStringLiteral("Seite speichern"));
    EXPECT_EQ(window.eName->text(), QStringLiteral("Name"));
    // A hint is shown as it stands, never taken as markup (a tooltip that
    // looks like markup is read as markup).
    const QString tip = window.eName->toolTip();
    QTextDocument hint;
    if (Qt::mightBeRichText(tip))
        hint.setHtml(tip);
    else
        hint.setPlainText(tip);
    EXPECT_EQ(hint.toPlainText(), QStringLiteral("<b>name</b> of the page"));
    EXPECT_EQ(window.mNotes->toPlainText(), QStringLiteral("Zeile 1\nZeile 2"));
    EXPECT_EQ(window.gbBox->title(), QStringLiteral("Gruppe"));
    EXPECT_EQ(window.lNested->text(), QStringLiteral("Innen"));
    EXPECT_EQ(window.mFile->title(), QStringLiteral("&Datei"));
    EXPECT_EQ(window.aPrint->text(), QStringLiteral("&Drucken"));
    EXPECT_EQ(window.aPrint->toolTip(), QStringLiteral("Seite drucken"));
    EXPECT_EQ(window.property("stationName").toString(), QStringLiteral("ARD"));

    // Plain properties by name, converted to their types; a text that does
    // not fit leaves the value alone.
    EXPECT_TRUE(window.cbAuto->isChecked());
    EXPECT_EQ(window.seCount->value(), 7);
    EXPECT_EQ(window.lNested->textFormat(), Qt::PlainText);

    // Nothing is created: no component, no property.
    EXPECT_EQ(NamedComponents(window), names);
    EXPECT_FALSE(window.bSave->property("noSuchProperty").isValid());
    EXPECT_FALSE(window.findChild<QObject*>(QStringLiteral("missing")));
}

TEST(LanguageTexts, AWindowWithoutClassesOfOursIsLeftAlone) {
    QWidget plain;
    plain.setWindowTitle(QStringLiteral("plain"));
    LanguageModule module;
    module.Parse("[QWidget]\n.Caption=changed\n[TBaseForm]\n.Caption=changed\n");
    ReloadWindowTexts(plain, module);
    EXPECT_EQ(plain.windowTitle(), QStringLiteral("plain"));

    // The base class alone gets only its own section.
    TBaseForm base;
    ReloadWindowTexts(base, GermanTexts());
    EXPECT_EQ(base.lTitle->text(), QStringLiteral("Basis"));
    EXPECT_EQ(base.bSave->text(), QStringLiteral("Save"));
    EXPECT_TRUE(base.windowTitle().isEmpty());
}

TEST(LanguageTexts, AllTopLevelWindowsAreReloaded) {
    test_forms::TMainForm first;
    test_forms::TMainForm second;
    second.show();
    ReloadAllWindows(GermanTexts());
    // Shown or not, every window is read.
    EXPECT_EQ(first.windowTitle(), QStringLiteral("ORV Videotext"));
    EXPECT_EQ(second.windowTitle(), QStringLiteral("ORV Videotext"));
    EXPECT_EQ(second.bSave->toolTip(), QStringLiteral("Seite speichern"));
}

// ---------------------------------------------------------------- X11 window list

TEST(X11Probe, WithoutAnX11ServerTheListIsEmpty) {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) GTEST_SKIP() << "Qt runs on X11";
    const ScopedEnv env("DISPLAY", nullptr);
    X11WindowProbe probe;
    EXPECT_TRUE(probe.TopLevelWindows().empty());
    // Naming a class where there is no X11 does nothing.
    QWidget window;
    X11WindowProbe::SetWindowClass(static_cast<unsigned long>(window.winId()), "orvtt", "ORV_Teletext");
    EXPECT_TRUE(probe.TopLevelWindows().empty());
}

// Windows made directly on the X server: a frame without class holding a
// client, as a reparenting window manager arranges them, and a bare window.
class RawX11Windows {
public:
    RawX11Windows() {
        // A server with no clients left resets itself (Xvfb does, between
        // tests) and refuses connections for a moment.
        for (int attempt = 0;; ++attempt) {
            c_ = xcb_connect(nullptr, nullptr);
            if (!xcb_connection_has_error(c_) || attempt == 40) break;
            xcb_disconnect(c_);
            ::usleep(50'000);
        }
    }
    ~RawX11Windows() {
        for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) xcb_destroy_window(c_, *it);
        xcb_flush(c_);
        xcb_disconnect(c_);
    }
    RawX11Windows(const RawX11Windows&) = delete;
    RawX11Windows& operator=(const RawX11Windows&) = delete;

    bool Ok() const { return !xcb_connection_has_error(c_); }
    xcb_window_t Root() const { return xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root; }

    xcb_window_t Create(xcb_window_t parent) {
        const xcb_window_t window = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window, parent, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        windows_.push_back(window);
        return window;
    }
    void SetText(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, std::string_view value) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                            static_cast<std::uint32_t>(value.size()), value.data());
    }
    xcb_atom_t Atom(std::string_view name) {
        const auto cookie = xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(name.size()), name.data());
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c_, cookie, nullptr), &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    void SetWindows(xcb_window_t window, xcb_atom_t property, const std::vector<xcb_window_t>& list) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_WINDOW, 32,
                            static_cast<std::uint32_t>(list.size()), list.data());
    }
    bool HasProperty(xcb_window_t window, xcb_atom_t property) {
        const auto cookie = xcb_get_property(c_, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(c_, cookie, nullptr), &std::free);
        return reply && reply->type != XCB_ATOM_NONE;
    }
    void DeleteProperty(xcb_window_t window, xcb_atom_t property) { xcb_delete_property(c_, window, property); }
    void Sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

private:
    xcb_connection_t* c_ = nullptr;
    std::vector<xcb_window_t> windows_;
};

// A small desktop: a frame without class holding the TV panel, as a
// reparenting window manager arranges it, a bare window with a Latin-1 title
// and one with both title kinds.
class X11ProbeScene : public testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) GTEST_SKIP() << "no X server";
        if (!x_.Ok()) GTEST_SKIP() << "X server not reachable";
        frame_ = x_.Create(x_.Root());
        client_ = x_.Create(frame_);
        SetClass(client_, "Panel");
        x_.SetText(client_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, "ORV VIDEO PLAYER");
        bare_ = x_.Create(x_.Root());
        SetClass(bare_, "Bare");
        x_.SetText(bare_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, "Gr\xF6\xDF" "e");  // Latin-1
        named_ = x_.Create(x_.Root());
        SetClass(named_, "Named");
        x_.SetText(named_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, "old name");
        x_.SetText(named_, x_.Atom("_NET_WM_NAME"), x_.Atom("UTF8_STRING"), "Kan\xC3\xA4le");
        // Below a window that has a class nothing is a top-level window.
        SetClass(x_.Create(bare_), "Inner");
        x_.Sync();
    }

    void SetClass(xcb_window_t window, const std::string& name) {
        x_.SetText(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string("inst\0", 5) + tag_ + name + '\0');
    }
    // Our windows of the probe's answer, in its order, as "Class:Title".
    std::vector<std::string> Found() {
        X11WindowProbe probe;
        std::vector<std::string> found;
        for (const auto& window : probe.TopLevelWindows())
            if (window.ClassName.starts_with(tag_)) found.push_back(window.ClassName.substr(tag_.size()) + ":" + window.Title);
        return found;
    }

    const std::string tag_ = "OrvProbeTest" + std::to_string(::getpid());
    RawX11Windows x_;
    xcb_window_t frame_ = 0, client_ = 0, bare_ = 0, named_ = 0;
};

TEST_F(X11ProbeScene, FindsClientsInsideFramesAndPrefersTheUtf8Title) {
    // Topmost first, as the server stacks them; the client follows its frame.
    EXPECT_EQ(Found(), (std::vector<std::string>{"Named:Kan\xC3\xA4le", "Bare:Gr\xC3\xB6\xC3\x9F" "e",
                                                 "Panel:ORV VIDEO PLAYER"}));
    X11WindowProbe probe;
    EXPECT_EQ(FirstTitleOfClass(probe, tag_ + "Panel"), "ORV VIDEO PLAYER");
}

TEST_F(X11ProbeScene, TheWindowManagersStackingListComesFirstWithoutRepeats) {
    const xcb_atom_t stacking = x_.Atom("_NET_CLIENT_LIST_STACKING");
    // Only on a server of our own: a real desktop's list is not ours to change.
    if (x_.HasProperty(x_.Root(), stacking)) GTEST_SKIP() << "a window manager runs";
    x_.SetWindows(x_.Root(), stacking, {named_, client_});  // bottom to top
    x_.Sync();
    const auto found = Found();
    x_.DeleteProperty(x_.Root(), stacking);
    x_.Sync();
    EXPECT_EQ(found, (std::vector<std::string>{"Panel:ORV VIDEO PLAYER", "Named:Kan\xC3\xA4le",
                                               "Bare:Gr\xC3\xB6\xC3\x9F" "e"}));
}

TEST(X11Probe, FindsOurOwnWindowByTheClassWeGaveIt) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "Qt does not run on X11";
    const std::string className = "ORV_Teletext_Test" + std::to_string(::getpid());
    QWidget window;
    window.setWindowTitle(QStringLiteral("Videotext \u00DC"));
    X11WindowProbe probe;
    EXPECT_FALSE(HasWindowOfClass(probe, className));
    X11WindowProbe::SetWindowClass(static_cast<unsigned long>(window.winId()), "orvtt", className);
    EXPECT_EQ(FirstTitleOfClass(probe, className), "Videotext \xC3\x9C");
    window.show();
    EXPECT_TRUE(HasWindowOfClass(probe, className));
}

}  // namespace
}  // namespace orv

#include "QtPlatformTest.moc"
