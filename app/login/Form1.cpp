#include "Form1.h"

#include "ui_Form1.h"

#include "app/AppSetup.h"
#include "app/DatabaseHooks.h"
#include "app/ProgramEnd.h"
#include "app/PublicADO.h"
#include "db/ServerCall.h"
#include "ui/ErrorGuard.h"
#include "ui/MessageBoxes.h"
#include "ui/main/Form2.h"

#include <QCloseEvent>
#include <QKeyEvent>
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
    DatabaseHooks::install();
    m_ui->setupUi(this);
    // Every connection reads the server name and password from these two boxes.
    PublicADO::SetLoginFields(m_ui->Text1, m_ui->Text2);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    m_background.load(QStringLiteral(":/login-background.jpg"));

    // The login's failures are shown in its own box.
    connect(m_ui->Command1, &QPushButton::clicked, this,
            [this] { ErrorGuard::run(this, [this] { Command1_Click(); }, &MessageBoxes::loginFailure); });
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

void Form1::Form_Load()
{
    show();
    m_ui->Text2->setFocus();
}

void Form1::Command1_Click()
{
    using namespace PublicADO;
    const db::ServerCall::Label label(QStringLiteral("正在连接服务器 …"));
    // open() either throws or leaves the connection open: there is no state left to test after it.
    OpenConnection(SysConnection(), SysConnectionString(), QStringLiteral("zrsystem"));
    // The second connection, for the voucher-export log: the same string, user and password.
    OpenConnection(ExportConnection(), SysConnectionString(), QStringLiteral("zrsystem"));
    ExportRecordset().open(QStringLiteral("select * from sysobjects where name='ua_outpzlog' and xtype='U'"),
                           ExportConnection());
    // The first touch of the main window loads it: its load sequence runs here, under the login's guard.
    Form2::instance().setTabVisible(2, ExportRecordset().recordCount() == 1);
    hide();
    Form2::instance().show();
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
