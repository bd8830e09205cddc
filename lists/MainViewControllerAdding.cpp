// Adding applications from the main window: identifiers from the add field and from links,
// store searches and their results, and what the window shows meanwhile.

#include "lists/MainViewController.h"

#include "controls/AppShell.h"
#include "controls/ProgressHUD.h"
#include "core/ListsController.h"
#include "core/ListsControllerError.h"
#include "lists/SearchResultsViewController.h"
#include "lists/SearchViewPresentationAnimator.h"
#include "lists/TransitionTiming.h"
#include "platform/SupportRequest.h"
#include "store/CachedApp.h"

#include <QDebug>
#include <QRegularExpression>

namespace tanvill {

namespace {

// The add menu item of the application's App menu, off while the add field is open.
constexpr int kAddAppMenuItem = 0;
// Re-enabling the add field waits for most of the results' slide.
constexpr int kEnableAfterResultsMs = 250;
// Store identifiers are positive 64-bit numbers.
constexpr int kMaxIdentifierDigits = 19;

// The identifier as the store knows it: decimal digits without leading zeros; none for any
// other text. Links from outside may name identifiers of any length the store uses, so the
// add field's nine or ten digits are not asked for here.
std::optional<QString> storeIdentifier(const QString &text)
{
    static const QRegularExpression decimal(QStringLiteral("\\A[0-9]+\\z"));
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    qsizetype zeros = 0;
    while (zeros + 1 < text.size() && text.at(zeros) == QLatin1Char('0'))
        ++zeros;
    QString digits = text.mid(zeros);
    if (digits.size() > kMaxIdentifierDigits)
        return std::nullopt;
    return digits;
}

} // namespace

ProgressHUD *MainViewController::showProgressHUD()
{
    auto *hud = new ProgressHUD(this);
    if (transitions::instant())
        hud->setFadeDuration(0);
    hud->show();
    return hud;
}

void MainViewController::presentError(const Error &error, std::function<void()> answered)
{
    presentErrorOfferingSupport(error, m_services.alertPresenter, m_services.workspace, window(),
                                std::move(answered));
}

void MainViewController::tryAddingApp(const QString &identifier, AdditionFinished finished,
                                      bool showsErrors)
{
    const std::optional<QString> storeId = storeIdentifier(identifier);
    if (!storeId) {
        qWarning().noquote() << "Not a store identifier, nothing added:" << identifier;
        if (finished)
            finished(AdditionEnd::Refused, std::nullopt);
        return;
    }
    const QPointer<MainViewController> self(this);
    // Hands the outcome on, after the alert about an error was answered when it is shown here.
    auto end
        = [self, finished = std::move(finished), showsErrors](const std::optional<Error> &error) {
              const AdditionEnd ending = !error  ? AdditionEnd::Added
                  : isFinalAdditionError(*error) ? AdditionEnd::Refused
                                                 : AdditionEnd::PassingFailure;
              if (!error || !showsErrors || !self) {
                  if (finished)
                      finished(ending, error);
                  return;
              }
              self->presentError(*error, [finished, ending, error] {
                  if (finished)
                      finished(ending, error);
              });
          };
    ListsController &lists = m_services.listsController;
    if (const std::optional<Error> duplicate = lists.canAddAppWithIdentifier(*storeId)) {
        end(duplicate);
        return;
    }
    const QPointer<ProgressHUD> hud = showProgressHUD();
    lists.addAppWithIdentifier(*storeId,
                               [hud, end = std::move(end)](const std::optional<Error> &error) {
                                   if (hud)
                                       hud->hide();
                                   end(error);
                               });
}

void MainViewController::addAppViewControllerDidAppear(AddAppViewController *)
{
    if (AppShell *shell = AppShell::current())
        shell->setAppMenuItemEnabled(kAddAppMenuItem, false);
}

void MainViewController::addAppViewControllerDidDisappear(AddAppViewController *)
{
    if (AppShell *shell = AppShell::current())
        shell->setAppMenuItemEnabled(kAddAppMenuItem, true);
    updateShakeAnimation();
}

void MainViewController::addAppViewControllerSubmittedIdentifier(AddAppViewController *controller,
                                                                 const QString &identifier)
{
    // Dismissed first: the field's way out takes the keyboard back to where it was, which a
    // field turned off while it holds the focus would hand on to the next control instead.
    controller->dismissController();
    controller->setEnabled(false);
    tryAddingApp(identifier);
}

void MainViewController::addAppViewControllerSubmittedAppName(AddAppViewController *controller,
                                                              const QString &term)
{
    const QPointer<ProgressHUD> hud = showProgressHUD();
    controller->setEnabled(false);
    const QPointer<MainViewController> self(this);
    const QPointer<AddAppViewController> field(controller);
    m_services.listsController.searchApps(
        term, [self, hud, field](std::optional<Error> error, std::optional<SearchResults> results) {
            if (hud)
                hud->hide();
            // A field closed while the store was asked wants no answer any more.
            if (!self || !field || !field->isPresented())
                return;
            if (error || !results) {
                field->setEnabled(true);
                if (error)
                    self->presentError(*error);
                return;
            }
            SearchResultsViewController *shown = field->searchResultsController();
            if (!shown) {
                shown = new SearchResultsViewController(self->m_services.listsController,
                                                        self->m_services.settings);
                self->presentViewController(shown, new SearchViewPresentationAnimator);
                transitions::after(field, kEnableAfterResultsMs, [field] {
                    if (field && field->isPresented())
                        field->setEnabled(true);
                });
            } else {
                field->setEnabled(true);
            }
            shown->setResults(std::move(results));
            field->setSearchResultsController(shown);
        });
}

} // namespace tanvill
