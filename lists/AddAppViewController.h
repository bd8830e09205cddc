#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class QLineEdit;

namespace tanvill {

class AddAppViewController;
class BorderedButton;
class MainViewController;
class SearchResultsViewController;

// What the add field reports to the window that opened it. The main window's controller is
// the one implementation; it must be a QObject, so that the add field notices when it goes.
class AddAppViewControllerDelegate
{
public:
    virtual ~AddAppViewControllerDelegate() = default;

    // The field is in the bar and has the keyboard focus.
    virtual void addAppViewControllerDidAppear(AddAppViewController *controller) = 0;
    // Go was used on a store link or a bare store identifier (decimal digits).
    virtual void addAppViewControllerSubmittedIdentifier(AddAppViewController *controller,
                                                         const QString &identifier)
        = 0;
    // Go was used on any other text: a term to search the store for.
    virtual void addAppViewControllerSubmittedAppName(AddAppViewController *controller,
                                                      const QString &term)
        = 0;
    // The field is about to leave the bar.
    virtual void addAppViewControllerDidDisappear(AddAppViewController *controller) = 0;
};

// The add field that takes the add button's place in the main window's bottom bar: a text
// field, a go button titled "Add" for a store link or identifier and "Search" otherwise, and
// a cancel button ("Done" once search results belong to it). It decides what the text is and
// hands it to its delegate, which adds or searches. Disabling the controller (QWidget's
// `enabled`) disables the field and both buttons together.
class AddAppViewController : public QWidget
{
    Q_OBJECT
public:
    explicit AddAppViewController(QWidget *parent = nullptr);

    // Not owned; ignored once the delegate object has gone.
    AddAppViewControllerDelegate *delegate() const;
    void setDelegate(AddAppViewControllerDelegate *delegate);

    // The search results shown with this field; closing the field closes them too. Every
    // assignment, none included, titles the cancel button "Done".
    SearchResultsViewController *searchResultsController() const;
    void setSearchResultsController(SearchResultsViewController *controller);

    QLineEdit *searchTextField() const { return m_searchTextField; }
    BorderedButton *goButton() const { return m_goButton; }
    BorderedButton *cancelButton() const { return m_cancelButton; }

    // Classifies the text and tells the delegate (nothing when it has gone).
    void go();
    // Closes the field, then the search results that belong to it.
    void dismissController();

    // Called by the transition that puts the field into the bar, and that takes it out.
    void viewDidAppear();
    void viewWillDisappear();

    // The window showing the field; set while it is presented there.
    MainViewController *presentingViewController() const;
    void setPresentingViewController(MainViewController *presenting);
    // True from the field's presentation until its dismissal begins.
    bool isPresented() const;
    void setDismissing() { m_dismissing = true; }

    // The text checks: a store link, or nine or ten digits and nothing else.
    static bool isStoreLink(const QString &text);
    static bool isStoreIdentifier(const QString &text);

    // What go() makes of a text: the identifier it names, or none when it is a search term.
    static std::optional<QString> submittedIdentifier(const QString &text);

    // The store's web host the link check knows.
    static constexpr char kStoreWebHost[] = "apps.apple.com";
    static constexpr int kHeight = 50;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void controlTextDidChange(const QString &text);

    QLineEdit *m_searchTextField;
    BorderedButton *m_goButton;
    BorderedButton *m_cancelButton;
    AddAppViewControllerDelegate *m_delegate = nullptr;
    QPointer<QObject> m_delegateObject;
    QPointer<SearchResultsViewController> m_searchResults;
    QPointer<MainViewController> m_presenting;
    bool m_dismissing = false;
};

} // namespace tanvill
