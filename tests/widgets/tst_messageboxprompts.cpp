#include "widgets/messageboxprompts.h"

#include "core/promptowner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace std::chrono_literals;

namespace {

// Runs `action` on the message box once it is open.
void whenOpen(std::function<void(QMessageBox&)> action) {
    QTimer::singleShot(50, [action] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        action(*box);
    });
}

} // namespace

// The real message boxes: what counts as an answer, and how an unattended run gets past them.
class TestMessageBoxPrompts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void onlyAChosenYesIsConsent();
    void unattendedBoxesCloseThemselvesWithTheSafeAnswer();
    void somebodyThereCanStillAnswer();
    void stopWaitingClosesTheOpenBox();
    void textIsShownAsPlainText();
    void enterChoosesNoInADestructiveQuestion();
    void aBoxBelongsToTheWindowThatOwnsItForNow();
};

void TestMessageBoxPrompts::onlyAChosenYesIsConsent() {
    MessageBoxPrompts prompts;
    whenOpen([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    QCOMPARE(prompts.answer(QStringLiteral("Delete?")), UserPrompts::Answer::Yes);
    whenOpen([](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
    QCOMPARE(prompts.answer(QStringLiteral("Delete?")), UserPrompts::Answer::No);
    // Closed without a choice (as a box is that never got to show): no answer, not a Yes.
    whenOpen([](QMessageBox& box) { box.done(-1); });
    QCOMPARE(prompts.answer(QStringLiteral("Delete?")), UserPrompts::Answer::None);
    whenOpen([](QMessageBox& box) { box.done(-1); });
    QVERIFY(!prompts.ask(QStringLiteral("Delete?")));
    // The window's close button is the same as No.
    whenOpen([](QMessageBox& box) { box.close(); });
    QVERIFY(!prompts.ask(QStringLiteral("Delete?")));
}

void TestMessageBoxPrompts::unattendedBoxesCloseThemselvesWithTheSafeAnswer() {
    MessageBoxPrompts prompts;
    QStringList logged;
    prompts.setUnattended(300ms, [&logged](const QString& line) { logged.append(line); });
    QVERIFY(!prompts.ask(QStringLiteral("Delete these\n\rfiles?")));
    QCOMPARE(logged, QStringList({QStringLiteral("Question: Delete these files?"),
                                  QStringLiteral("No answer: taken as No")}));
    // Nobody answered: the next ones do not wait again.
    prompts.notify(QStringLiteral("Destination directory not present!"));
    QCOMPARE(prompts.answer(QStringLiteral("Shut down?")), UserPrompts::Answer::None);
    QCOMPARE(logged.mid(2),
             QStringList({QStringLiteral("Notice: Destination directory not present!"),
                          QStringLiteral("Question: Shut down?"), QStringLiteral("No answer: taken as No")}));
}

void TestMessageBoxPrompts::somebodyThereCanStillAnswer() {
    MessageBoxPrompts prompts;
    QStringList logged;
    prompts.setUnattended(10s, [&logged](const QString& line) { logged.append(line); });
    whenOpen([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    QVERIFY(prompts.ask(QStringLiteral("Delete?")));
    QCOMPARE(logged.last(), QStringLiteral("Answered: Yes"));
}

void TestMessageBoxPrompts::stopWaitingClosesTheOpenBox() {
    MessageBoxPrompts prompts;
    QTimer::singleShot(50, [&prompts] { prompts.stopWaiting(); });
    QCOMPARE(prompts.answer(QStringLiteral("Cancel the backup?")), UserPrompts::Answer::None);
    // And later ones do not wait at all.
    QCOMPARE(prompts.answer(QStringLiteral("Delete?")), UserPrompts::Answer::None);
}

void TestMessageBoxPrompts::textIsShownAsPlainText() {
    // A server's answer or a file name: rich text would load pictures and make links clickable.
    const QString foreign =
        QStringLiteral("<a href=\"file:///etc/passwd\">update</a><img src=\"/tmp/x.png\">");
    MessageBoxPrompts prompts;
    // How each box showed its text: the format, whether links in it react, the text.
    QStringList shown;
    const auto record = [&shown](QMessageBox& box) {
        box.done(-1);
        const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        const bool links =
            label->textInteractionFlags() & (Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        shown.append(
            QStringLiteral("%1 %2 %3")
                .arg(label->textFormat() == Qt::PlainText ? QStringLiteral("plain") : QStringLiteral("rich"),
                     links ? QStringLiteral("links") : QStringLiteral("inert"), label->text()));
    };
    whenOpen(record);
    prompts.notify(foreign);
    whenOpen(record);
    prompts.ask(foreign + QStringLiteral("\n\rDelete?"));
    QCOMPARE(shown, QStringList({QStringLiteral("plain inert ") + foreign,
                                 QStringLiteral("plain inert ") + foreign + QStringLiteral("\nDelete?")}));
}

void TestMessageBoxPrompts::enterChoosesNoInADestructiveQuestion() {
    MessageBoxPrompts prompts;
    auto pressEnter = [](QMessageBox& box) {
        QTest::keyClick(&box, Qt::Key_Return);
    };
    whenOpen(pressEnter);
    QVERIFY(!prompts.askDestructive(QStringLiteral("Remove all folders?")));
    // An ordinary question keeps Yes as its default.
    whenOpen(pressEnter);
    QVERIFY(prompts.ask(QStringLiteral("Close?")));
    // A destructive one is still a Yes when Yes is chosen.
    whenOpen([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    QVERIFY(prompts.askDestructive(QStringLiteral("Remove all folders?")));
}

void TestMessageBoxPrompts::aBoxBelongsToTheWindowThatOwnsItForNow() {
    QWidget main;
    main.setWindowTitle(QStringLiteral("main"));
    QWidget other;
    other.setWindowTitle(QStringLiteral("other"));
    main.show();
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    MessageBoxPrompts prompts(&main);
    QWidget* parentSeen = nullptr;
    auto noteParent = [&parentSeen](QMessageBox& box) {
        parentSeen = box.parentWidget();
        box.done(-1);
    };
    {
        const PromptOwner owner(prompts, &other);
        whenOpen(noteParent);
        prompts.notify(QStringLiteral("Restore finished."));
        QCOMPARE(parentSeen, &other);
    }
    // Afterwards the boxes are the main window's again, and a window that is gone owns none.
    QCOMPARE(prompts.ownerWindow(), nullptr);
    auto* passing = new QWidget;
    prompts.setOwnerWindow(passing);
    delete passing;
    QCOMPARE(prompts.ownerWindow(), nullptr);
}

QTEST_MAIN(TestMessageBoxPrompts)
#include "tst_messageboxprompts.moc"
