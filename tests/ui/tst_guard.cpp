// The steps after a stored change: all of them run, the dialog closes, and only then does
// the first failure surface as the general error box.
#include <QtTest>
#include <QDialog>
#include <stdexcept>
#include "test_support.h"
#include "data/db_error.h"
#include "ui/guard.h"
#include "ui/message_box.h"

class TestGuard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }

    void failedStepStillClosesThenReportsFirstFailure()
    {
        QDialog d;
        d.show();
        QStringList ran;
        const bool ok = ui::guard(&d, [&] {
            ui::afterStored(
                [&] {
                    ran << "finish";
                    d.accept();
                },
                [&] { ran << "a"; throw DbError(QStringLiteral("first"), 1); },
                [&] { ran << "b"; throw std::runtime_error("second"); },
                [&] { ran << "c"; });
            ran << "after";
        });
        QVERIFY(!ok);
        QCOMPARE(ran, (QStringList{"a", "b", "c", "finish"}));
        QVERIFY(!d.isVisible());
        QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
        QCOMPARE(msg::lastShown().text, QString("first"));
    }

    void stepsWithoutFailureJustFinish()
    {
        QStringList ran;
        ui::afterStored([&] { ran << "finish"; }, [&] { ran << "a"; });
        QCOMPARE(ran, (QStringList{"a", "finish"}));
    }
};

QTEST_MAIN(TestGuard)
#include "tst_guard.moc"
