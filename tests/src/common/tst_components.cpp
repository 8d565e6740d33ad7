#include <MessageBox.h>
#include <SharedComponent.h>
#include <VeloraTest.h>

namespace {
int constructed = 0;
int destructed = 0;

class Counted : public SharedComponent<Counted>
{
    friend SharedComponent<Counted>;

public:
    int release() { return releaseShared(); }

private:
    Counted() { ++constructed; }
    ~Counted() { ++destructed; }
};
} // namespace

class TestComponents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sharedInstanceLivesUntilTheLastRelease()
    {
        constructed = destructed = 0;
        Counted *first = Counted::getInstance();
        QCOMPARE(Counted::getInstance(), first);
        first->addRef();
        QCOMPARE(first->release(), 2);
        QCOMPARE(first->release(), 1);
        QCOMPARE(Counted::peekInstance(), first);
        QCOMPARE(destructed, 0);
        QCOMPARE(first->release(), 0);
        QCOMPARE(Counted::peekInstance(), nullptr);

        // After the last release a new instance is built, not the dead one revived.
        QCOMPARE(Counted::getInstance()->release(), 0);
        QCOMPARE(constructed, 2);
        QCOMPARE(destructed, 2);
    }

    void unattendedAnswerIsTheDefaultOrTheFirstButton()
    {
        MessageBox::Question question;
        question.buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        QCOMPARE(MessageBox::defaultAnswer(question), QMessageBox::Yes);
        question.defaultButton = QMessageBox::Cancel;
        QCOMPARE(MessageBox::defaultAnswer(question), QMessageBox::Cancel);
    }
};

VELORA_TEST_MAIN(TestComponents)
#include "tst_components.moc"
