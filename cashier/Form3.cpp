#include "Form3.h"

#include "ui_Form3.h"

#include "app/PublicADO.h"
#include "db/ServerCall.h"
#include "ui/ErrorGuard.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowLayout.h"

Form3::Form3(QWidget* mainWindow)
    : QDialog(mainWindow)
    , m_ui(std::make_unique<Ui::Form3>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    WindowLayout::fitLabels(this);
    setModal(true);

    connect(m_ui->Combo1, &QComboBox::activated, this,
            ErrorGuard::wrap(this, [this](int index) { Combo1_Click(index); }));
    // The clearing's own guard: its failure is shown under "错误" and the window stays open.
    connect(m_ui->cmdClear, &QPushButton::clicked, this, ErrorGuard::wrap(this, [this] { cmdClear_Click(); }));

    Form_Load();
}

Form3::~Form3() = default;

void Form3::Form_Load()
{
    if (parentWidget())
        setWindowIcon(parentWidget()->windowIcon());
}

void Form3::addDatabase(const QString& name)
{
    const bool first = m_ui->Combo1->count() == 0;
    m_ui->Combo1->addItem(name);
    // Qt picks the first entry of an empty list by itself; here the user has to pick.
    if (first)
        m_ui->Combo1->setCurrentIndex(-1);
}

void Form3::Combo1_Click(int index)
{
    if (index != -1)
        m_ui->cmdClear->setEnabled(true);
}

void Form3::cmdClear_Click()
{
    const db::ServerCall::Label label(QStringLiteral("正在清除出纳锁定：") + m_ui->Combo1->currentText());
    PublicADO::OpenConnection(m_cashierConnection, m_cashierConnectionString, m_ui->Combo1->currentText());
    m_cashierConnection.execute(QStringLiteral("Delete From CN_LockAcctBook"));
    MessageBoxes::information(this, QStringLiteral("清除完毕！"));
}
