#include "books/quick_search.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QHeaderView>
#include <QTableView>
#include <QPushButton>
#include <QToolButton>
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "data/query_model.h"
#include "ui/guard.h"
#include "ui/skin.h"

namespace {

QComboBox *pickOnlyBox(const QString &name, int minChars, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(false);
    // Sizing to contents would measure every phrase, and the lists only grow.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(minChars);
    box->setMaxVisibleItems(20);
    return box;
}

} // namespace

QuickSearch::QuickSearch(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("sucha"));
    setProperty("skin", QStringLiteral("panel"));
    setFocusPolicy(Qt::StrongFocus);

    m_kind = pickOnlyBox(QStringLiteral("bsSkinComboBox1"), 6, this);
    m_kind->addItems({QString(), QStringLiteral("收入"), QStringLiteral("支出")});
    m_kind->setCurrentIndex(-1);
    m_summary = pickOnlyBox(QStringLiteral("bsSkinDBLookupComboBox1"), 16, this);
    m_party = pickOnlyBox(QStringLiteral("bsSkinDBLookupComboBox2"), 16, this);

    m_search = new QPushButton(QStringLiteral("速 查"), this);
    m_search->setObjectName(QStringLiteral("bsSkinButton1"));
    m_search->setDefault(true);
    m_clear = new QPushButton(QStringLiteral("清 空"), this);
    m_clear->setObjectName(QStringLiteral("bsSkinButton2"));
    m_close = new QToolButton(this);
    m_close->setObjectName(QStringLiteral("bsSkinSpeedButton10"));
    m_close->setProperty("skin", QStringLiteral("flat"));
    m_close->setIcon(Skin::icon(QStringLiteral("search_close")));
    m_close->setIconSize(QSize(16, 16));
    m_close->setCursor(Qt::PointingHandCursor);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 6, 4);
    row->setSpacing(6);
    auto caption = [this](const QString &text) { return new QLabel(text, this); };
    row->addWidget(caption(QStringLiteral("类别:")));
    row->addWidget(m_kind);
    row->addSpacing(8);
    row->addWidget(caption(QStringLiteral("摘要:")));
    row->addWidget(m_summary, 1);
    row->addSpacing(8);
    row->addWidget(caption(QStringLiteral("单位名称:")));
    row->addWidget(m_party, 1);
    row->addSpacing(8);
    row->addWidget(m_search);
    row->addWidget(m_clear);
    row->addStretch(0);
    row->addWidget(m_close, 0, Qt::AlignRight | Qt::AlignVCenter);

    // Buttons outside a dialog ignore Enter, which would then reach the panel and search:
    // a focused button takes Enter as a press of itself.
    for (QAbstractButton *b : {static_cast<QAbstractButton *>(m_search), static_cast<QAbstractButton *>(m_clear),
                               static_cast<QAbstractButton *>(m_close)})
        b->installEventFilter(this);

    connect(m_search, &QPushButton::clicked, this, &QuickSearch::bsSkinButton1Click);
    connect(m_clear, &QPushButton::clicked, this, &QuickSearch::bsSkinButton2Click);
    connect(m_close, &QToolButton::clicked, this, &QuickSearch::bsSkinSpeedButton10Click);
}

void QuickSearch::attachData(TDataModule2 *dm)
{
    m_dm = dm;
    bindPhraseBox(m_summary, dm->Query_jz_a1, m_keptSummary);
    bindPhraseBox(m_party, dm->Query_jz_a2, m_keptParty);
}

// The box shows the phrase query itself (no copy of the rows), so it follows every reopen.
// A reopen resets the model; the chosen phrase is then found again by its text, first where
// it should be (new phrases come in at the top), else by a scan.
void QuickSearch::bindPhraseBox(QComboBox *box, Query *phrases, Kept &kept)
{
    auto *model = new QueryModel(phrases, {{QStringLiteral("z1"), QString()}}, box);
    // A table popup with fixed row heights lays out without touching the rows; a list
    // view asks for every phrase, and the lists grow by one per save.
    auto *popup = new QTableView(box);
    popup->horizontalHeader()->hide();
    popup->horizontalHeader()->setStretchLastSection(true);
    popup->verticalHeader()->hide();
    popup->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    popup->verticalHeader()->setDefaultSectionSize(box->fontMetrics().height() + 6);
    popup->setShowGrid(false);
    popup->setSelectionBehavior(QAbstractItemView::SelectRows);
    popup->setWordWrap(false);
    box->setView(popup);
    popup->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setModel(model);
    box->setModelColumn(0);
    // Sizing to contents would measure every phrase, and the lists grow by one per save.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    if (box->minimumContentsLength() == 0)
        box->setMinimumContentsLength(10);
    // The plain popup: the platform popup measures every row before it opens.
    box->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    box->setCurrentIndex(-1);
    // A reopen passes through an empty (closed) list: only a filled list tells the choice.
    connect(model, &QAbstractItemModel::modelAboutToBeReset, box, [box, &kept] {
        if (box->count() == 0)
            return;
        kept.text = box->currentText();
        kept.row = box->currentIndex();
        kept.count = box->count();
    });
    connect(model, &QAbstractItemModel::modelReset, box, [box, &kept] {
        if (kept.text.isEmpty() || box->count() == 0) {
            box->setCurrentIndex(-1);
            return;
        }
        const int guess = kept.row + (box->count() - kept.count);
        if (guess >= 0 && guess < box->count() && box->itemText(guess) == kept.text)
            box->setCurrentIndex(guess);
        else
            box->setCurrentIndex(box->findText(kept.text));
    });
}

QString QuickSearch::kindText() const { return m_kind->currentText(); }
QString QuickSearch::summaryText() const { return m_summary->currentText(); }
QString QuickSearch::partyText() const { return m_party->currentText(); }

QString QuickSearch::containsPattern(const QString &phrase)
{
    QString escaped;
    escaped.reserve(phrase.size() + 4);
    for (const QChar c : phrase) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QString QuickSearch::searchSql() { return BookRefresh::searchSql(); }

void QuickSearch::bsSkinButton1Click()
{
    ui::guard(this, [this] {
        if (!m_dm)
            return;
        Query *q = m_dm->Query_jz_ab;
        q->close();
        q->clearSql();
        q->setSql(searchSql());
        q->bind(QStringLiteral(":kind"), containsPattern(kindText()));
        q->bind(QStringLiteral(":summary"), containsPattern(summaryText()));
        q->bind(QStringLiteral(":party"), containsPattern(partyText()));
        q->bind(QStringLiteral(":key"), BookRefresh::bookKey(*m_dm));
        BookRefresh::openEntries(*m_dm);
    });
}

void QuickSearch::bsSkinButton2Click()
{
    ui::guard(this, [this] {
        m_summary->setCurrentIndex(-1);
        m_party->setCurrentIndex(-1);
        m_keptSummary = {};
        m_keptParty = {};
        m_kind->setCurrentIndex(-1);
        if (!m_dm)
            return;
        BookRefresh::loadEntries(*m_dm);
        BookRefresh::loadTotals(*m_dm);
    });
}

void QuickSearch::bsSkinSpeedButton10Click() { hide(); }

void QuickSearch::keyPressEvent(QKeyEvent *event)
{
    // The panel's default button: Enter anywhere else in the panel runs the search.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_search->click();
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

bool QuickSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        auto *button = qobject_cast<QAbstractButton *>(watched);
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button && button->isEnabled()) {
            button->click();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}
