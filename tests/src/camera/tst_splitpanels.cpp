#include <PipView.h>
#include <SplitScreenPanel.h>
#include <VeloraTest.h>

#include <QSignalSpy>
#include <QToolButton>

class TestSplitPanels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cornerGeometry_data()
    {
        QTest::addColumn<int>("corner");
        QTest::addColumn<QRect>("expected");
        // A 200 by 150 frame in a 1000 by 600 area that starts at (10, 20).
        QTest::newRow("top right") << 0 << QRect(810, 20, 200, 150);
        QTest::newRow("bottom right") << 1 << QRect(810, 470, 200, 150);
        QTest::newRow("bottom left") << 2 << QRect(10, 470, 200, 150);
        QTest::newRow("top left") << 3 << QRect(10, 20, 200, 150);
    }

    void cornerGeometry()
    {
        QFETCH(int, corner);
        QFETCH(QRect, expected);
        const QRect area(10, 20, 1000, 600);
        const QRect placed = PipView::cornerGeometry(area, QSize(200, 150), corner);
        QCOMPARE(placed, expected);
        QVERIFY(area.contains(placed));
    }

    void moveButtonStaysAtTheCornerAndAsksToMove()
    {
        QWidget window;
        auto *pip = new PipView(&window);
        pip->setGeometry(0, 0, 240, 180);
        auto *view = new QWidget;
        view->resize(160, 120);
        pip->centreView(view);
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QToolButton *button = pip->moveButton();
        QCOMPARE(button->geometry().bottomRight(), pip->contentsRect().bottomRight());
        QCOMPARE(view->parentWidget(), pip);
        QCOMPARE(view->geometry().center(), pip->contentsRect().center());
        // Raised above the view it holds: the last child is drawn on top.
        QCOMPARE(pip->children().last(), button);

        pip->resize(320, 200);
        QCOMPARE(button->geometry().bottomRight(), pip->contentsRect().bottomRight());

        QSignalSpy moved(pip, &PipView::movePressed);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(moved.size(), 1);
        QCOMPARE(pip->cursor().shape(), Qt::ArrowCursor);

        // The frame walks clockwise from the top right and wraps.
        QList<int> walked{pip->cornerIndex()};
        for (int i = 0; i < 4; ++i) {
            pip->setCornerIndex(pip->nextCornerIndex());
            walked.append(pip->cornerIndex());
        }
        QCOMPARE(walked, (QList<int>{0, 1, 2, 3, 0}));
    }

    void splitButtonsAskForTheirLayoutsInOrder()
    {
        SplitScreenPanel panel;
        panel.show();
        QList<int> asked;
        const QList<void (SplitScreenPanel::*)()> signalsInOrder{
                &SplitScreenPanel::oneSplitRequested,    &SplitScreenPanel::pipSplitRequested,
                &SplitScreenPanel::dwTwoSplitRequested,  &SplitScreenPanel::dmTwoSplitRequested,
                &SplitScreenPanel::dThreeSplitRequested, &SplitScreenPanel::wThreeSplitRequested,
                &SplitScreenPanel::mThreeSplitRequested};
        for (int i = 0; i < signalsInOrder.size(); ++i)
            connect(&panel, signalsInOrder.at(i), this, [&asked, i] { asked.append(i); });

        const QStringList buttons{"oneSplitBtn",    "pipSplitBtn",    "dwSplitBtn",    "dmSplitBtn",
                                  "dThreeSplitBtn", "wThreeSplitBtn", "mThreeSplitBtn"};
        for (const QString &name : buttons) {
            auto *button = panel.findChild<QToolButton *>(name);
            QVERIFY2(button, qPrintable(name));
            // The icon is a real picture from the resources, not an empty placeholder.
            QVERIFY2(!button->icon().pixmap(32, 32).isNull(), qPrintable(name));
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QCOMPARE(asked, (QList<int>{0, 1, 2, 3, 4, 5, 6}));
    }
};

VELORA_TEST_MAIN(TestSplitPanels)
#include "tst_splitpanels.moc"
