#pragma once

// The row widget of one watched application: icon, name, developer, price button, platform
// image and five hover buttons (view in store, copy link, move, archive, delete) shown while
// the pointer is over the row of the active window, plus its right-click menu. The list table
// makes it as "ListAppCell" (85 px rows); the archive window as "ArchivedAppCell" (70 px rows,
// Archive configuration: reduced menu, no hover buttons, and in place of the price button the
// price the application had, in a capsule). The row does not know its application: the owning
// table gives it an AppSummaryController, which fills its views and carries out its actions; the
// row holds a share of that controller while it shows it.

#include "controls/TableRowView.h"
#include "core/AppKind.h"
#include "details/AppSummaryController.h"

#include <QColor>
#include <QList>
#include <QPointer>

#include <memory>
#include <optional>

class QLabel;
class QMenu;

namespace tanvill {

class AppIconView;
class ArchivePriceBadge;
class BorderedButton;
class HoverButton;
class Label;

class AppCell : public TableRowView
{
    Q_OBJECT
public:
    using Configuration = AppSummaryConfiguration;

    static inline const QString kListIdentifier = QStringLiteral("ListAppCell");
    static inline const QString kArchiveIdentifier = QStringLiteral("ArchivedAppCell");
    static constexpr int kListRowHeight = 85;
    static constexpr int kArchiveRowHeight = 70;

    explicit AppCell(Configuration configuration = Configuration::List, QWidget *parent = nullptr);
    ~AppCell() override;

    AppIconView *iconView() const { return m_iconView; }
    Label *nameLabel() const { return m_nameLabel; }
    Label *developerLabel() const { return m_developerLabel; }
    // List rows only; hidden in the Archive configuration.
    BorderedButton *buyButton() const { return m_buyButton; }
    // Archive rows only: the capsule with the price text the owning table gives.
    ArchivePriceBadge *priceBadge() const { return m_priceBadge; }
    void setArchivedPriceText(const QString &text);
    QLabel *platformIconView() const { return m_platformIconView; }
    HoverButton *viewInStoreButton() const { return m_viewInStoreButton; }
    HoverButton *copyLinkButton() const { return m_copyLinkButton; }
    HoverButton *moveButton() const { return m_moveButton; }
    HoverButton *archiveButton() const { return m_archiveButton; }
    HoverButton *deleteButton() const { return m_deleteButton; }
    QList<HoverButton *> hoverButtons() const;
    bool hoverButtonsShown() const;

    Configuration configuration() const { return m_configuration; }
    // Stores the configuration and builds a new context menu for it (given to the summary
    // controller when there is one).
    void setConfiguration(Configuration configuration);

    // Built on first use, then kept: List "View in App Store", "Copy Link", "Reload", "Move to
    // List" (a submenu), "Archive", "Delete"; Archive "View in App Store", "Copy Link",
    // "Delete"; both end with "Copy App ID" when "enableSuperSecretAppIdentifierMenuItem" was on
    // when the menu was built. Key equivalents are hints inside the open menu only.
    QMenu *contextMenu();
    // A new menu for the current configuration, owned by the row, without actions.
    QMenu *newContextMenu();

    // The platform image ("iphone", "ipad", "mac"), or none.
    void setPlatform(std::optional<AppKind> kind);
    QString platformImageName() const { return m_platformImageName; }
    // The colour hover buttons take under the pointer: the selected list's light colour.
    void setHoverTint(const QColor &tint);

    // Binds the row to `controller` (none: to nothing). The previous controller lets go of
    // this row's views and their connections; the hover buttons are hidden.
    void setSummaryController(std::shared_ptr<AppSummaryController> controller);
    AppSummaryController *summaryController() const { return m_controller.get(); }
    std::shared_ptr<AppSummaryController> sharedSummaryController() const { return m_controller; }

    // The row as drawn, lifted on a lighter grey, with corners rounded by 10 px.
    QPixmap snapshot() override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void pointerSettled(bool overRow) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    HoverButton *makeHoverButton(const QString &imageName, const QString &toolTip);
    void setHoverButtonsShown(bool shown);
    void settleHoverAfterMenu();
    void layoutViews();

    Configuration m_configuration;
    AppIconView *m_iconView;
    Label *m_nameLabel;
    Label *m_developerLabel;
    BorderedButton *m_buyButton;
    ArchivePriceBadge *m_priceBadge;
    QLabel *m_platformIconView;
    HoverButton *m_viewInStoreButton;
    HoverButton *m_copyLinkButton;
    HoverButton *m_moveButton;
    HoverButton *m_archiveButton;
    HoverButton *m_deleteButton;
    QPointer<QMenu> m_contextMenu;
    QString m_platformImageName;
    std::shared_ptr<AppSummaryController> m_controller;
};

} // namespace tanvill
