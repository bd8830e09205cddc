#include "shell/PreferencesPane.h"

#include "platform/Strings.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tanvill {

namespace {

constexpr int kTitleColumnWidth = 150;
constexpr int kFieldColumnWidth = 330;

} // namespace

PreferencesPane::PreferencesPane(const QString &label, const QString &iconName, QWidget *parent)
    : QWidget(parent), m_label(label), m_iconName(iconName)
{
    QFont paneFont = font();
    paneFont.setPixelSize(kTextPixelSize);
    setFont(paneFont);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(24, 22, 32, 24);
    m_grid = new QGridLayout;
    m_grid->setHorizontalSpacing(10);
    m_grid->setVerticalSpacing(8);
    m_grid->setColumnMinimumWidth(0, kTitleColumnWidth);
    m_grid->setColumnMinimumWidth(1, kFieldColumnWidth);
    m_grid->setColumnStretch(1, 1);
    outer->addLayout(m_grid);
    outer->addStretch(1);
}

int PreferencesPane::nextRow() const
{
    // An empty grid still reports one row.
    return m_grid->count() == 0 ? 0 : m_grid->rowCount();
}

QLabel *PreferencesPane::makeTitle(const QString &text) const
{
    auto *title = new QLabel(text);
    title->setTextFormat(Qt::PlainText);
    title->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return title;
}

void PreferencesPane::addRow(const QString &title, QWidget *field)
{
    const int row = nextRow();
    if (!title.isEmpty())
        m_grid->addWidget(makeTitle(title), row, 0, Qt::AlignRight | Qt::AlignVCenter);
    m_grid->addWidget(field, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
}

void PreferencesPane::addRow(const QString &title, QLayout *field)
{
    const int row = nextRow();
    if (!title.isEmpty())
        m_grid->addWidget(makeTitle(title), row, 0, Qt::AlignRight | Qt::AlignVCenter);
    m_grid->addLayout(field, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
}

void PreferencesPane::addWideRow(QWidget *field)
{
    m_grid->addWidget(field, nextRow(), 0, 1, 2);
}

QLabel *PreferencesPane::addNote(const QString &text)
{
    auto *note = new QLabel(text);
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);
    QFont noteFont = note->font();
    noteFont.setPixelSize(kNotePixelSize);
    note->setFont(noteFont);
    note->setForegroundRole(QPalette::PlaceholderText);
    m_grid->addWidget(note, nextRow(), 1);
    return note;
}

void PreferencesPane::addSeparation()
{
    m_grid->addItem(new QSpacerItem(0, 6, QSizePolicy::Minimum, QSizePolicy::Fixed), nextRow(), 0);
}

} // namespace tanvill
