#include "Form2.h"

#include "ui_form2.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"
#include "cashier/CashierHotkey.h"
#include "exports/ExportTab.h"
#include "locks/LockTab.h"
#include "tasks/TaskTab.h"
#include "ui/ErrorGuard.h"
#include "ui/ListViewSetup.h"
#include "ui/Twips.h"
#include "ui/WindowLayout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QStatusBar>
#include <QWindow>

namespace {

const QString TaskColumns = QStringLiteral("任务ID,登陆模块,计算机名,登陆时间,任务状态");
const QString LockColumns = QStringLiteral("序号,数据表,锁定记录数");
const QString CreditText = QStringLiteral("锁务通 · 登录任务与单据锁定清理");

QPointer<Form2>& loadedWindow()
{
    static QPointer<Form2> window;
    return window;
}

std::function<QDateTime()>& clockSource()
{
    static std::function<QDateTime()> source;
    return source;
}

}  // namespace

Form2::Form2()
    : m_ui(std::make_unique<Ui::Form2>())
{
    AppSetup::loadResources();
    m_ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    WindowLayout::fitLabels(this);

    const std::array<int, 3> panelTwips = {2000, 1800, 3000};
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        m_panels[i] = new QLabel(m_ui->StatusBar1);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        m_panels[i]->setFixedWidth(Twips::toPixels(panelTwips[i]));
        m_ui->StatusBar1->addWidget(m_panels[i]);
    }

    m_timer1.setParent(this);
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setInterval(1000);
    connect(&m_timer1, &QTimer::timeout, this, ErrorGuard::wrap(this, [this] { Timer1_Timer(); }));
    m_timer1.start();

    connect(m_ui->Command7, &QPushButton::clicked, this, ErrorGuard::wrap(this, [this] { Command7_Click(); }));
    connect(m_ui->Command8, &QPushButton::clicked, this, ErrorGuard::wrap(this, [this] { Command8_Click(); }));

    m_taskTab = std::make_unique<TaskTab>(*m_ui, this);
    m_lockTab = std::make_unique<LockTab>(*m_ui, this);
    m_exportTab = std::make_unique<ExportTab>(*m_ui, this);
    m_cashierHotkey = std::make_unique<CashierHotkey>(*m_ui, this);

    // Key preview: the window sees every key press before the control that has the focus.
    qApp->installEventFilter(this);
}

Form2::~Form2() = default;

Form2& Form2::instance()
{
    if (!loadedWindow()) {
        auto window = std::unique_ptr<Form2>(new Form2);
        window->Form_Load();
        loadedWindow() = window.release();
    }
    return *loadedWindow();
}

bool Form2::isLoaded()
{
    return !loadedWindow().isNull();
}

void Form2::unload()
{
    delete loadedWindow().data();
}

void Form2::setClock(std::function<QDateTime()> clock)
{
    clockSource() = std::move(clock);
}

QDateTime Form2::now()
{
    return clockSource() ? clockSource()() : QDateTime::currentDateTime();
}

void Form2::setTabVisible(int index, bool visible)
{
    m_ui->SSTab1->setTabVisible(index, visible);
    // Qt still moves onto a hidden tab with Ctrl+Tab or the arrow keys; it skips disabled ones.
    m_ui->SSTab1->setTabEnabled(index, visible);
}

QString Form2::panelText(int panel) const
{
    return m_panels.at(panel - 1)->text();
}

void Form2::setPanelText(int panel, const QString& text)
{
    m_panels.at(panel - 1)->setText(text);
}

void Form2::Form_Load()
{
    m_ui->SSTab1->setCurrentIndex(0);
    const QDateTime loadedAt = now();
    setPanelText(1, QStringLiteral("当前日期: ") + loadedAt.toString(QStringLiteral("yyyy-MM-dd")));
    setPanelText(2, QStringLiteral("当前时间: ") + loadedAt.toString(QStringLiteral("HH:mm:ss")));
    setPanelText(3, CreditText);

    ListViewSetup::prepare(m_ui->ListView1);
    ListViewSetup::addColumns(m_ui->ListView1, TaskColumns, 1000);
    ListViewSetup::setColumnWidth(m_ui->ListView1, 1, 850);
    ListViewSetup::setColumnWidth(m_ui->ListView1, 4, 1900);
    ListViewSetup::setColumnWidth(m_ui->ListView1, m_ui->ListView1->columnCount(), 900);

    m_taskTab->ReTaskA();
    m_lockTab->BuildLockTableCatalogue();

    ListViewSetup::prepare(m_ui->ListView2);
    ListViewSetup::addColumns(m_ui->ListView2, LockColumns, 1000);
    ListViewSetup::setColumnWidth(m_ui->ListView2, 1, 800);
    ListViewSetup::setColumnWidth(m_ui->ListView2, 2, 1900);
    ListViewSetup::setColumnWidth(m_ui->ListView2, 3, 1300);

    ListViewSetup::prepare(m_ui->ListView3);

    m_lockTab->FillAccountList();
    m_exportTab->NovaTask();
}

void Form2::Timer1_Timer()
{
    setPanelText(2, QStringLiteral("当前时间: ") + now().toString(QStringLiteral("HH:mm:ss")));
}

void Form2::Command7_Click()
{
    ProgramEnd::now();
}

void Form2::Command8_Click()
{
    ProgramEnd::now();
}

void Form2::Form_Unload()
{
    ProgramEnd::now();
}

void Form2::closeEvent(QCloseEvent* event)
{
    ErrorGuard::run(this, [this] { Form_Unload(); });
    event->accept();
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    // A key reaches this window's native window first, then the focused control and its parents:
    // the first delivery is the key handler's, and a key it takes goes no further.
    const auto* widget = qobject_cast<QWidget*>(watched);
    const bool ours = (widget && widget->window() == this) || (windowHandle() && watched == static_cast<QObject*>(windowHandle()));
    return ours && m_cashierHotkey->Form_KeyDown(*static_cast<QKeyEvent*>(event));
}
