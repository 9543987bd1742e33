#pragma once

#include <QDialog>
#include <QString>
#include <memory>

class QStandardItemModel;
struct LockTableRows;
namespace Ui { class LockDetail; }

// The read-only window with the rows of one lock table, so that a crashed client's lock can be
// told from a colleague's live one. Any column sorts it; Ctrl+C copies the selected rows under
// their column names as tab-separated text; Esc closes it. Built for one opening, gone when closed.
class LockDetail : public QDialog {
    Q_OBJECT
public:
    // mainWindow: the window it stays over; description: the table's text in the lock list.
    LockDetail(QWidget* mainWindow, const QString& description, const LockTableRows& rows);
    ~LockDetail() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString selectedRowsText() const;

    std::unique_ptr<Ui::LockDetail> m_ui;
    QStandardItemModel* m_model;
};
