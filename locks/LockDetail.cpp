#include "LockDetail.h"

#include "ui_LockDetail.h"

#include "LockTableRows.h"
#include "db/FieldText.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStandardItemModel>
#include <algorithm>

namespace {

constexpr int SortRole = Qt::UserRole;

// A pasted value must stay in its own cell: a tab or line break inside it would start another.
QString cellText(QString text)
{
    for (QChar& c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

}  // namespace

LockDetail::LockDetail(QWidget* mainWindow, const QString& description, const LockTableRows& rows)
    : QDialog(mainWindow)
    , m_ui(std::make_unique<Ui::LockDetail>())
    , m_model(new QStandardItemModel(this))
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("锁定明细 - ") + description);
    if (mainWindow)
        setWindowIcon(mainWindow->windowIcon());

    m_model->setColumnCount(int(rows.columns.size()));
    m_model->setHorizontalHeaderLabels(rows.columns);
    m_model->setSortRole(SortRole);
    for (const QVariantList& row : rows.rows) {
        QList<QStandardItem*> items;
        items.reserve(row.size());
        for (const QVariant& value : row) {
            auto* item = new QStandardItem(db::FieldText::of(value));
            item->setEditable(false);
            // Sorted by the value itself, so that 9 comes before 100; NULL has no value and sorts last.
            item->setData(value.isNull() ? QVariant() : value, SortRole);
            items.append(item);
        }
        m_model->appendRow(items);
    }

    QTableView* view = m_ui->ListView1;
    view->setModel(m_model);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    // The server's order until the user picks a column.
    view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    view->setSortingEnabled(true);
    view->resizeColumnsToContents();
    view->installEventFilter(this);
}

LockDetail::~LockDetail() = default;

bool LockDetail::eventFilter(QObject* watched, QEvent* event)
{
    // The view on its own would copy only the current cell.
    if (watched == m_ui->ListView1 && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        const QString text = selectedRowsText();
        if (!text.isEmpty())
            QGuiApplication::clipboard()->setText(text);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QString LockDetail::selectedRowsText() const
{
    QModelIndexList selected = m_ui->ListView1->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return {};
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });

    QStringList cells;
    for (int column = 0; column < m_model->columnCount(); ++column)
        cells.append(cellText(m_model->headerData(column, Qt::Horizontal).toString()));
    QString text = cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const QModelIndex& index : selected) {
        cells.clear();
        for (int column = 0; column < m_model->columnCount(); ++column)
            cells.append(cellText(m_model->item(index.row(), column)->text()));
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}
