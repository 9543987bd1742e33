#include "Form1.h"

#include "ui_Form1.h"

#include "app/AppSetup.h"
#include "app/DatabaseHooks.h"
#include "app/ErrorGuard.h"
#include "app/MessageBoxes.h"
#include "app/ProgramEnd.h"
#include "app/PublicADO.h"
#include "db/DbError.h"
#include "ui/main/Form2.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>

namespace {

QPointer<Form1>& loadedWindow()
{
    static QPointer<Form1> window;
    return window;
}

}  // namespace

Form1::Form1()
    : m_ui(std::make_unique<Ui::Form1>())
{
    AppSetup::loadResources();
    // The login window holds the credentials every later reconnection reads.
    DatabaseHooks::install();
    m_ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    m_background.load(QStringLiteral(":/login-background.jpg"));

    // The login keeps its own guard, which reports failures in its own box (Command1_Click).
    connect(m_ui->Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(m_ui->Command2, &QPushButton::clicked, this, ErrorGuard::wrap(this, [this] { Command2_Click(); }));
}

Form1::~Form1() = default;

Form1& Form1::instance()
{
    if (!loadedWindow()) {
        auto* window = new Form1;
        loadedWindow() = window;
        window->Form_Load();
    }
    return *loadedWindow();
}

bool Form1::isLoaded()
{
    return !loadedWindow().isNull();
}

void Form1::unload()
{
    delete loadedWindow().data();
}

QString Form1::serverName() const
{
    return m_ui->Text1->text();
}

QString Form1::password() const
{
    return m_ui->Text2->text();
}

void Form1::Form_Load()
{
    show();
    m_ui->Text2->setFocus();
}

void Form1::Command1_Click()
{
    using namespace PublicADO;
    QString description;
    try {
        SysConnectionString() = ConnectionString(QStringLiteral("zrsystem"), m_ui->Text1->text());
        if (SysConnection().state() == db::StateOpen)
            SysConnection().close();
        SysConnection().open(SysConnectionString(), UserId(), m_ui->Text2->text());
        if (SysConnection().state() != db::StateOpen) {
            MessageBoxes::loginFailure(this, QString());
            return;
        }
        if (ExportConnection().state() == db::StateOpen)
            ExportConnection().close();
        ExportConnection().open(SysConnectionString(), UserId(), m_ui->Text2->text());
        if (ExportRecordset().state() == db::StateOpen)
            ExportRecordset().close();
        ExportRecordset().setCursorLocation(db::CursorLocation::Client);
        ExportRecordset().open(QStringLiteral("select * from sysobjects where name='ua_outpzlog' and xtype='U'"),
                               ExportConnection(), db::CursorType::Keyset, db::LockType::Pessimistic);
        // The first touch of the main window loads it: its load sequence runs here, under this guard.
        Form2::instance().setTabVisible(2, ExportRecordset().recordCount() == 1);
        hide();
        Form2::instance().show();
        return;
    } catch (const db::DbError& error) {
        description = error.description();
    } catch (const std::exception& error) {
        description = QString::fromLocal8Bit(error.what());
    }
    MessageBoxes::loginFailure(this, description);
}

void Form1::Command2_Click()
{
    close();
}

void Form1::Form_Unload()
{
    Form2::unload();
    ProgramEnd::now();
}

void Form1::closeEvent(QCloseEvent* event)
{
    ErrorGuard::run(this, [this] { Form_Unload(); });
    event->accept();
}

void Form1::keyPressEvent(QKeyEvent* event)
{
    // Enter presses the default button, as in a dialog; a focused button takes Enter itself.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (m_ui->Command1->isEnabled())
            m_ui->Command1->click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form1::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
    QWidget::paintEvent(event);
}
