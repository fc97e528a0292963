// The line under the practice windows about their history: where it is kept, a damaged file
// that was moved aside, and a history that can only stay in memory.

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include "store/ProgressStore.h"
#include "ui/common/PracticeHistoryLabel.h"

class TestPracticeHistoryLabel : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QWidget m_window;

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
        return path;
    }

private slots:
    void tellsWhereTheHistoryIsKeptAndLetsThePathBeCopied() {
        QLabel* label = cwt::MakeHistoryLabel(&m_window);
        QCOMPARE(label->parentWidget(), &m_window);
        QVERIFY(label->wordWrap());
        QVERIFY(label->textInteractionFlags() & Qt::TextSelectableByMouse);
        const cwt::ProgressStore store(m_dir.filePath("kept.sqlite"));
        cwt::ShowHistoryState(label, store);
        QCOMPARE(label->text(), QStringLiteral("연습 기록: ") + store.path());
    }

    // The operator learns both where the damaged file went and that a new one was started.
    void aDamagedFileSetAsideIsToldBeforeTheNewFile() {
        const QString path = write("damaged.sqlite", QByteArray("not a database ").repeated(400));
        QVERIFY(!path.isEmpty());
        const cwt::ProgressStore store(path);
        QVERIFY(!store.setAsidePath().isEmpty());
        QLabel* label = cwt::MakeHistoryLabel(&m_window);
        cwt::ShowHistoryState(label, store);
        const QString text = label->text();
        QVERIFY2(text.startsWith(QStringLiteral("기록 파일이 손상되어 ") + store.setAsidePath()),
                 qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral("연습 기록: ") + path), qPrintable(text));

        // Shown again for a sound file, nothing of the damage is left behind.
        const cwt::ProgressStore sound(m_dir.filePath("sound.sqlite"));
        cwt::ShowHistoryState(label, sound);
        QCOMPARE(label->text(), QStringLiteral("연습 기록: ") + sound.path());
    }

    // A history that cannot be written says why and that practice goes on, and names no file
    // as the place where it is kept.
    void aHistoryKeptOnlyInMemorySaysWhyAndThatPracticeGoesOn() {
        const QString blocker = write("not-a-folder", "x");
        QVERIFY(!blocker.isEmpty());
        const cwt::ProgressStore store(blocker + "/practice.sqlite");
        QVERIFY(!store.problem().isEmpty());
        QLabel* label = cwt::MakeHistoryLabel(&m_window);
        cwt::ShowHistoryState(label, store);
        const QString text = label->text();
        QVERIFY2(text.startsWith(store.problem()), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("연습은 계속할 수 있지만")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("연습 기록: ")), qPrintable(text));
    }
};

QTEST_MAIN(TestPracticeHistoryLabel)
#include "tst_PracticeHistoryLabel.moc"
