// The main window driven as an author drives it, on a real X server under a
// window manager: drags made with the mouse through the outline's own drag
// loop, keys sent to whichever widget has the focus.
#include "TestSupport.h"
#include "TestRegistry.h"

#include "config/Globale.h"
#include "platform/Paths.h"
#include "editing/REditServ.h"
#include "project/Outline.h"
#include "sequencer/Seq.h"
#include "ui/MainWindow.h"

#include <QDrag>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void dropsNeverLoseAPage();

private:
    TRichEdit *addTopic(const QString &name);
    // Presses on `item`, drags and releases at `to` (viewport coordinates),
    // through the view's drag loop as the mouse does it.
    void drag(QTreeWidgetItem *item, QPoint to);
    QStringList names() const;

    std::unique_ptr<TFrmKivHelp> m_window;
    std::unique_ptr<TestSupport::ScriptedScope> m_scope;
    std::unique_ptr<TestSupport::Sandbox> m_box;
};

void TestWindow::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run through tests/desktop/run.sh)");
    Platform::setProgramFilePathForTest(QCoreApplication::applicationDirPath() + QStringLiteral("/kivhelp"));
    Seq::InitUnit();
    Seq::timer()->stop();
    Globale::FInit(false, false, 1);
    Globale::PConf->WinFntList->clear();
    *Globale::PConf->WinFntList << "DejaVu Sans" << "DejaVu Serif" << "DejaVu Sans Mono";
}

void TestWindow::init()
{
    m_box = std::make_unique<TestSupport::Sandbox>();
    m_scope = std::make_unique<TestSupport::ScriptedScope>();
    m_window = std::make_unique<TFrmKivHelp>();
    QCOMPARE(m_window->FInit(false, false, 1, Globale::PConf).Category, quint8(0));
    QCOMPARE(m_window->FInitDisplay(Globale::PConf).Category, quint8(0));
    m_window->refreshFontLists(*Globale::PConf->WinFntList);
    Globale::PConf->PPrj->PrjState = PrjOpened;
    m_window->resize(1000, 700);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestWindow::cleanup()
{
    m_window.reset();
    Globale::PConf->PPrj->PrjState = PrjNone;
    CHECK_PROMPTS_DONE(*m_scope);
    m_scope.reset();
    m_box.reset();
}

TRichEdit *TestWindow::addTopic(const QString &name)
{
    const TDisplayContext &d = m_window->display();
    auto *item = new QTreeWidgetItem(QStringList{name});
    d.OutlineHelp->addTopLevelItem(item);
    TRichEdit *control = nullptr;
    U_REditServ::FCreateRichEdit(control, 45000, Globale::PConf->WinFntList, d.PanelHelp, d.MainWindow);
    KIVHelpTools::PBindControl(control, d);
    Outline::PSetControl(item, control);
    d.OutlineHelp->setCurrentItem(item);
    return control;
}

QStringList TestWindow::names() const
{
    QStringList out;
    for (const Outline::TLine &line : Outline::FLinesOf(m_window->display().OutlineHelp))
        out << QString::number(line.level) + line.text;
    return out;
}

void TestWindow::drag(QTreeWidgetItem *item, QPoint to)
{
    QTreeWidget *outline = m_window->display().OutlineHelp;
    QWindow *win = m_window->windowHandle();
    const auto inWindow = [outline, this](QPoint p) { return outline->viewport()->mapTo(m_window.get(), p); };
    const QPoint from = outline->visualItemRect(item).center();
    // The drag runs a loop of its own: the rest of the gesture comes from
    // inside it, once it has begun.
    bool dropped = false;
    QTimer finisher;
    finisher.setInterval(30);
    connect(&finisher, &QTimer::timeout, this, [&] {
        if (dropped || !outline->findChild<QDrag *>())
            return;
        dropped = true;
        QTest::mouseMove(win, inWindow(to + QPoint(0, 1)));
        QTest::mouseMove(win, inWindow(to));
        QTest::mouseRelease(win, Qt::LeftButton, {}, inWindow(to));
    });
    finisher.start();
    QTest::mousePress(win, Qt::LeftButton, {}, inWindow(from));
    for (int step = 1; step <= 10 && !dropped; ++step)
        QTest::mouseMove(win, inWindow(from + QPoint(step * 2, step * QApplication::startDragDistance())));
    QVERIFY2(dropped, "the drag did not begin");
    QTest::qWait(30);
}

void TestWindow::dropsNeverLoseAPage()
{
    for (const char *name : {"Manuel", "Un", "Deux", "Trois"})
        addTopic(QString::fromLatin1(name));
    QTreeWidget *outline = m_window->display().OutlineHelp;
    const auto row = [outline](int n) { return outline->visualItemRect(Outline::FItemAt(outline, n)); };
    const auto item = [outline](int n) { return Outline::FItemAt(outline, n); };

    // Onto the middle of a row: the page becomes its last sub-page.
    drag(item(3), row(2).center());
    QCOMPARE(names(), (QStringList{"1Manuel", "1Un", "2Deux", "1Trois"}));
    // On the upper edge of a row: before it.
    drag(item(4), QPoint(row(2).center().x(), row(2).top() + 1));
    QCOMPARE(names(), (QStringList{"1Manuel", "1Trois", "1Un", "2Deux"}));
    // On the lower edge: after it, at its level.
    drag(item(4), QPoint(row(2).center().x(), row(2).bottom() - 1));
    QCOMPARE(names(), (QStringList{"1Manuel", "1Trois", "1Deux", "1Un"}));
    // On the empty area below the last row: last of the outline.
    drag(item(2), QPoint(row(4).center().x(), row(4).bottom() + 40));
    QCOMPARE(names(), (QStringList{"1Manuel", "1Deux", "1Un", "1Trois"}));
    // Onto itself: nothing moves, nothing goes.
    drag(item(3), row(3).center());
    QCOMPARE(names(), (QStringList{"1Manuel", "1Deux", "1Un", "1Trois"}));
    // Every page kept its text control.
    for (int n = 1; n <= 4; ++n)
        QVERIFY(Outline::FControlOf(item(n)));
}

KIV_TEST(TestWindow)
#include "tst_window.moc"
