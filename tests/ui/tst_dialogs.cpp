#include "TestSupport.h"
#include "TestRegistry.h"

#include "ui/FindDialogs.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void findAndReplaceButtons();
};

void TestDialogs::findAndReplaceButtons()
{
    TFindDialog dialog(nullptr, true);
    QCOMPARE(dialog.objectName(), QStringLiteral("ReplaceDialog"));
    QVERIFY(!dialog.isModal());
    QList<KIVHelpTools::TFindOptions> finds, replaces;
    connect(&dialog, &TFindDialog::findNext, this, [&](const KIVHelpTools::TFindOptions &o) { finds << o; });
    connect(&dialog, &TFindDialog::replaceRequested, this,
            [&](const KIVHelpTools::TFindOptions &o) { replaces << o; });
    QTest::keyClicks(dialog.findChild<QLineEdit *>("FindText"), "Ecole");
    QTest::keyClicks(dialog.findChild<QLineEdit *>("ReplaceText"), "College");
    dialog.findChild<QCheckBox *>("WholeWord")->setChecked(true);
    dialog.findChild<QRadioButton *>("Up")->setChecked(true);
    dialog.findChild<QPushButton *>("FindNext")->click();
    dialog.findChild<QPushButton *>("Replace")->click();
    dialog.findChild<QPushButton *>("ReplaceAll")->click();
    QCOMPARE(finds.size(), 1);
    QCOMPARE(finds[0].findText, QStringLiteral("Ecole"));
    QVERIFY(finds[0].wholeWord && !finds[0].matchCase && !finds[0].down);
    QVERIFY(!finds[0].replace && !finds[0].replaceAll);
    QCOMPARE(replaces.size(), 2);
    QVERIFY(replaces[0].replace && !replaces[0].replaceAll);
    QVERIFY(replaces[1].replaceAll && !replaces[1].replace);
    QCOMPARE(replaces[1].replaceText, QStringLiteral("College"));

    TFindDialog find;
    QCOMPARE(find.objectName(), QStringLiteral("FindDialog"));
    QVERIFY(!find.findChild<QPushButton *>("Replace"));
    QVERIFY(find.options().down);
}

KIV_TEST(TestDialogs)
#include "tst_dialogs.moc"
