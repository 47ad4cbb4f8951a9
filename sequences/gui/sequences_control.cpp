#include "sequences/gui/sequences_control.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/strings.h"
#include "params/core/editar_valor.h"
#include "params/gui/qt_value_editors.h"
#include "params/gui/value_dialogs.h"
#include "sequences/core/sequence_window_rules.h"
#include "shell/gui/config_dlg.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/message_return_dlg.h"
#include "shell/gui/wait_dlg.h"

// Resources of a static library are registered by hand, outside any namespace.
static void RegisterSequenceResources() { Q_INIT_RESOURCE(sequences); }

namespace ordavo::gui {
namespace {

// Captions, tips and messages of the window (Windows-1252).
constexpr char kCaption[] = "Secu\xE9ncias";
constexpr char kTiposComando[] = "Tipos de comando";
constexpr char kComandosDisponibles[] = "Comandos Disponibles";
constexpr char kAnadir[] = "A\xF1" "adir >>";
constexpr char kTipAnadir[] = "A\xF1" "adir comando";
constexpr char kQuitar[] = "<<Excluir";
constexpr char kTipQuitar[] = "Deletar comando";
constexpr char kSecuenciasDisponibles[] = "Secu\xE9ncias Disponibles";
constexpr char kCargar[] = "Cargar";
constexpr char kExcluir[] = "Excluir";
constexpr char kTipExcluir[] = "Deleta secu\xE9ncia";
constexpr char kNueva[] = "Nueva";
constexpr char kTipNueva[] = "Nueva secu\xE9ncia";
constexpr char kComandosSecuencia[] = "Comandos de la Secu\xE9ncia";
constexpr char kParametros[] = "Par\xE1metros";
constexpr char kColNombre[] = "Nombre";
constexpr char kColOblig[] = "Oblig.";
constexpr char kColValor[] = "Valor del par\xE1metro";
constexpr char kInserir[] = "Inserir Secu\xE9ncia";
constexpr char kPasoAPaso[] = "Ejecuci\xF3n paso a paso";
constexpr char kPare[] = "Pare en caso de error";
constexpr char kPausa[] = "Pausa en caso de Error";
constexpr char kRetrazo[] = "Retrazo entre comandos (s):";
constexpr char kEjecuciones[] = "N\xBA de ejecuciones:";
constexpr char kEjecutar[] = "Ejecutar";
constexpr char kTipEjecutar[] = "Ejecutar secu\xE9ncia";
constexpr char kGrabar[] = "Grabar";
constexpr char kTipGrabar[] = "Grabar Secu\xE9ncia";
constexpr char kTipCliche[] = "Clich\xE9 Gr\xE1" "fico";
constexpr char kTipReferencia[] = "Refer\xE9ncia de los comandos";
constexpr char kTipAyuda[] = "Ayuda";
constexpr char kTipConfiguraciones[] = "Configuraciones";
constexpr char kSi[] = "si";
constexpr char kNo[] = "no";

constexpr char kDigiteNombre[] = "Digite el nombre de la secu\xE9ncia. \r\n obs: No utilize accentos";
constexpr char kNombreInvalido[] = "Nombre Inv\xE1lido";
constexpr char kRegistroNoSalvo[] = "Registro no salvo";
constexpr char kSubstituir[] = "Deseas substituir el registro ya existente?";
constexpr char kRegistroNoDeletado[] = "Registro no deletado";
constexpr char kConfirmaExclusion[] = "\xBF" "Confirma exclusi\xF3n?";
constexpr char kCargarFalhou[] = "N\xE3o foi poss\xEDvel carregar o arquivo indicado: %1.";
constexpr char kCargarDeNovo[] = "N\xE3o foi poss\xEDvel carregar o arquivo indicado: %1.\nO arquivo %2 foi carregado novamente.";
constexpr char kFiltroSequencias[] = "Arquivos de Sequ\xEAncias de comandos(*.XML)|*.XML||";
constexpr char kTituloCargar[] = "Abrir";

constexpr int kNameLength = 20;
constexpr int kNameColumn = 120;
constexpr int kNameColumnMax = 260;
constexpr int kMaxRuns = 999999;
constexpr int kMaxDelay = 99;
// The parameter list's background, a mid blue.
const QColor kParameterBackground(102, 140, 198);

// List entries keep their Windows-1252 text beside the shown one, so that comparisons are made
// on the bytes of the file and the catalog.
QListWidgetItem* MakeItem(const std::string& cp1252) {
    auto* item = new QListWidgetItem(Q(cp1252));
    item->setData(Qt::UserRole, QByteArray::fromStdString(cp1252));
    return item;
}

std::string ItemBytes(const QListWidgetItem* item) {
    return item ? item->data(Qt::UserRole).toByteArray().toStdString() : std::string();
}

// Sorted list boxes order their entries without regard to case.
void InsertSorted(QListWidget* list, const std::string& cp1252) {
    const QString key = Q(cp1252).toCaseFolded();
    int row = 0;
    while (row < list->count() && list->item(row)->text().toCaseFolded().localeAwareCompare(key) <= 0) ++row;
    list->insertItem(row, MakeItem(cp1252));
}

int SelectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.front());
}

// Selecting from code is not the user's choice: the window's selection handlers do not run.
void SelectRow(QListWidget* list, int row) {
    QSignalBlocker block(list);
    if (row < 0 || row >= list->count()) {
        list->clearSelection();
        list->setCurrentRow(-1, QItemSelectionModel::Clear);
        return;
    }
    list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void ClearList(QListWidget* list) {
    QSignalBlocker block(list);
    list->clear();
}

QPushButton* MakeButton(QWidget* parent, const char* object_name, const std::string& caption,
                        const std::string& tip, const QString& icon = {}) {
    auto* b = new QPushButton(Q(caption), parent);
    b->setObjectName(object_name);
    // Enter belongs to the lists; no button takes it.
    b->setAutoDefault(false);
    b->setDefault(false);
    if (!tip.empty()) b->setToolTip(Q(tip));
    if (!icon.isEmpty()) {
        b->setIcon(QIcon(icon));
        b->setIconSize(QSize(24, 24));
    }
    return b;
}

QPushButton* MakePictureButton(QWidget* parent, const char* object_name, const std::string& tip, const QString& icon) {
    QPushButton* b = MakeButton(parent, object_name, "", tip, icon);
    b->setIconSize(QSize(28, 28));
    b->setFixedSize(40, 40);
    return b;
}

QLabel* MakeHeading(QWidget* parent, const char* object_name, const std::string& text, QWidget* buddy) {
    auto* l = new QLabel(Q(text), parent);
    l->setObjectName(object_name);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    if (buddy) l->setBuddy(buddy);
    return l;
}

bool IsEnter(const QKeyEvent* e) { return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter; }

}  // namespace

SequencesControl::SequencesControl(const std::vector<Comando>& catalog, QWidget* parent, ValueEditors* editors)
    : QDialog(parent), available_(catalog) {
    setObjectName("SequencesControl");
    InitResources();
    static bool registered = false;
    if (!registered) RegisterSequenceResources();
    registered = true;

    editors_ = editors ? editors : CurrentEditors();
    if (!editors_) {
        own_editors_ = std::make_unique<QtValueEditors>(this);
        editors_ = own_editors_.get();
    }
    // The window's copies start without anything of an earlier run.
    for (Comando& c : available_) {
        c.retorno_formatado.clear();
        c.dump.clear();
    }

    // Captions, tips and pictures first; the files are read under the wait window.
    BuildWindow();
    std::unique_ptr<QDialog> wait = ShowWait();
    Settings& s = GetSettings();

    // The country's sequence file; one that cannot be read leaves the list empty, silently.
    file_path_ = SequenceFileForCountry(s);
    LoadFileInUse();
    FillSequenceList();

    FillTypeAndAvailableLists();
    SizeColumnsToHeadings();

    // The sequence of the last session (the first when that one is gone) becomes the working
    // sequence.
    if (s.DefaultSequence < 0 || s.DefaultSequence >= lista_.Count()) s.DefaultSequence = 0;
    SelectRow(sequence_list_, s.DefaultSequence);
    OnSequenceSelected();

    // Run options. Values from the configuration file that the fields cannot hold are brought
    // into their ranges rather than cut to the fields' lengths.
    delay_ = std::clamp(s.DelayBetweenCommands, 0, kMaxDelay);
    runs_ = std::clamp(s.LoopSequences, 1, kMaxRuns);
    step_ = 0;
    insert_ = 0;
    stop_ = s.StopOnError ? 1 : 0;
    pause_ = s.PauseOnError ? 1 : 0;
    WriteControls();

    if (lista_.Count() == 0) delete_->setEnabled(false);
    setWindowTitle(Q(kCaption));
}

SequencesControl::~SequencesControl() = default;

int SequencesControl::exec() {
    // The run at entry happens before the window is shown.
    if (GetSettings().RunSequenceAtEntry == 1) Run();
    return QDialog::exec();
}

void SequencesControl::BuildWindow() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    // Everything but the window itself: disabled while a run lasts, so that the run's own
    // windows (children of this one) stay usable.
    body_ = new QWidget(this);
    body_->setObjectName("body");
    outer->addWidget(body_);

    // Left: the catalog.
    type_list_ = new QListWidget(body_);
    type_list_->setObjectName("types");
    available_list_ = new QListWidget(body_);
    available_list_->setObjectName("available");
    type_list_->setMaximumHeight(130);

    add_ = MakeButton(body_, "add", kAnadir, kTipAnadir, ":/sequences/add.png");
    remove_ = MakeButton(body_, "remove", kQuitar, kTipQuitar, ":/sequences/remove.png");

    // Centre: the working sequence and its parameters.
    command_list_ = new QListWidget(body_);
    command_list_->setObjectName("commands");
    command_list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    parameter_list_ = new QTableWidget(0, 3, body_);
    parameter_list_->setObjectName("parameters");
    parameter_list_->setHorizontalHeaderLabels({Q(kColNombre), Q(kColOblig), Q(kColValor)});
    parameter_list_->verticalHeader()->hide();
    parameter_list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    parameter_list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    parameter_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    parameter_list_->setShowGrid(true);
    parameter_list_->setWordWrap(false);
    parameter_list_->setTextElideMode(Qt::ElideRight);
    parameter_list_->horizontalHeader()->setStretchLastSection(false);
    parameter_list_->horizontalHeader()->setHighlightSections(false);
    parameter_list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    parameter_list_->verticalHeader()->setDefaultSectionSize(parameter_list_->fontMetrics().height() + 8);
    parameter_list_->setStyleSheet(
        QString("QTableWidget { background-color: %1; color: black; gridline-color: rgb(72, 104, 158);"
                " selection-background-color: rgb(28, 52, 104); selection-color: white; }")
            .arg(kParameterBackground.name()));
    parameter_list_->setColumnWidth(0, kNameColumn);
    parameter_list_->setColumnWidth(1, 170);
    parameter_list_->setColumnWidth(2, 170);

    // Right: the sequence file and the run.
    sequence_list_ = new QListWidget(body_);
    sequence_list_->setObjectName("sequences");
    load_ = MakeButton(body_, "load", kCargar, "");
    delete_ = MakeButton(body_, "delete", kExcluir, kTipExcluir);
    new_ = MakeButton(body_, "new", kNueva, kTipNueva);

    insert_box_ = new QCheckBox(Q(kInserir), body_);
    insert_box_->setObjectName("insert");
    step_box_ = new QCheckBox(Q(kPasoAPaso), body_);
    step_box_->setObjectName("step");
    stop_box_ = new QCheckBox(Q(kPare), body_);
    stop_box_->setObjectName("stop");
    pause_box_ = new QCheckBox(Q(kPausa), body_);
    pause_box_->setObjectName("pause");
    delay_edit_ = new QLineEdit(body_);
    delay_edit_->setObjectName("delay");
    delay_edit_->setMaxLength(2);
    delay_edit_->setFixedWidth(64);
    delay_edit_->setAlignment(Qt::AlignRight);
    runs_edit_ = new QLineEdit(body_);
    runs_edit_->setObjectName("runs");
    runs_edit_->setMaxLength(6);
    runs_edit_->setFixedWidth(64);
    runs_edit_->setAlignment(Qt::AlignRight);
    runs_edit_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), runs_edit_));

    run_ = MakeButton(body_, "run", kEjecutar, kTipEjecutar);
    save_ = MakeButton(body_, "save", kGrabar, kTipGrabar);
    cancel_ = MakeButton(body_, "cancel", "", "");
    CaptionAnular(cancel_);

    cliche_ = MakePictureButton(body_, "cliche", kTipCliche, ":/sequences/cliche.png");
    reference_ = MakePictureButton(body_, "reference", kTipReferencia, ":/sequences/reference.png");
    help_ = MakePictureButton(body_, "help", kTipAyuda, ":/sequences/help.png");
    settings_ = MakePictureButton(body_, "settings", kTipConfiguraciones, ":/sequences/settings.png");
    auto* picture = new QLabel(body_);
    picture->setObjectName("picture");
    picture->setPixmap(QPixmap(":/sequences/decoration.png"));

    // Layout: three columns of lists, the buttons between the first two, the run options and
    // the window's buttons on the right.
    auto* left = new QVBoxLayout;
    left->addWidget(MakeHeading(body_, "typesHeading", kTiposComando, type_list_));
    left->addWidget(type_list_);
    left->addSpacing(6);
    left->addWidget(MakeHeading(body_, "availableHeading", kComandosDisponibles, available_list_));
    left->addWidget(available_list_, 1);

    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    middle->addWidget(add_);
    middle->addSpacing(8);
    middle->addWidget(remove_);
    middle->addStretch(1);

    auto* centre = new QVBoxLayout;
    centre->addWidget(MakeHeading(body_, "commandsHeading", kComandosSecuencia, command_list_));
    centre->addWidget(command_list_, 2);
    centre->addSpacing(6);
    centre->addWidget(MakeHeading(body_, "parametersHeading", kParametros, parameter_list_));
    centre->addWidget(parameter_list_, 3);

    auto* file_buttons = new QHBoxLayout;
    file_buttons->addWidget(load_);
    file_buttons->addWidget(delete_);
    file_buttons->addWidget(new_);

    auto* options = new QGroupBox(body_);
    options->setObjectName("options");
    auto* options_layout = new QGridLayout(options);
    options_layout->addWidget(insert_box_, 0, 0, 1, 2);
    options_layout->addWidget(step_box_, 1, 0, 1, 2);
    options_layout->addWidget(stop_box_, 2, 0, 1, 2);
    options_layout->addWidget(pause_box_, 3, 0, 1, 2);
    auto* delay_label = new QLabel(Q(kRetrazo), options);
    delay_label->setBuddy(delay_edit_);
    auto* runs_label = new QLabel(Q(kEjecuciones), options);
    runs_label->setBuddy(runs_edit_);
    options_layout->addWidget(delay_label, 4, 0);
    options_layout->addWidget(delay_edit_, 4, 1, Qt::AlignRight);
    options_layout->addWidget(runs_label, 5, 0);
    options_layout->addWidget(runs_edit_, 5, 1, Qt::AlignRight);

    auto* run_buttons = new QHBoxLayout;
    run_buttons->addWidget(run_);
    run_buttons->addWidget(save_);
    run_buttons->addWidget(cancel_);

    auto* right = new QVBoxLayout;
    right->addWidget(MakeHeading(body_, "sequencesHeading", kSecuenciasDisponibles, sequence_list_));
    right->addWidget(sequence_list_, 1);
    right->addLayout(file_buttons);
    right->addSpacing(4);
    right->addWidget(options);
    right->addLayout(run_buttons);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(10);
    columns->addLayout(left, 3);
    columns->addLayout(middle, 0);
    columns->addLayout(centre, 4);
    columns->addLayout(right, 3);

    auto* tools = new QHBoxLayout;
    tools->addWidget(picture);
    tools->addStretch(1);
    tools->addWidget(cliche_);
    tools->addWidget(reference_);
    tools->addWidget(help_);
    tools->addWidget(settings_);

    auto* main = new QVBoxLayout(body_);
    main->setContentsMargins(12, 12, 12, 10);
    main->addLayout(columns, 1);
    main->addLayout(tools);

    // The user's actions.
    connect(type_list_, &QListWidget::itemSelectionChanged, this, &SequencesControl::OnTypeSelected);
    connect(sequence_list_, &QListWidget::itemSelectionChanged, this, &SequencesControl::OnSequenceSelected);
    connect(command_list_, &QListWidget::itemSelectionChanged, this, &SequencesControl::OnCommandSelected);
    connect(available_list_, &QListWidget::itemDoubleClicked, this, [this] { AddCommand(); });
    connect(command_list_, &QListWidget::itemDoubleClicked, this, [this] { EditAllParameters(); });
    // A click on the command already selected (by adding, say) shows its parameters too.
    connect(command_list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int row = command_list_->row(item);
        if (row == SelectedRow(command_list_) && row != parameter_command_) ShowParameters(row);
    });
    connect(parameter_list_, &QTableWidget::cellDoubleClicked, this, [this] { EditSelectedParameters(); });
    connect(add_, &QPushButton::clicked, this, &SequencesControl::AddCommand);
    connect(remove_, &QPushButton::clicked, this, &SequencesControl::RemoveCommand);
    connect(load_, &QPushButton::clicked, this, &SequencesControl::LoadFile);
    connect(delete_, &QPushButton::clicked, this, &SequencesControl::DeleteSequence);
    connect(new_, &QPushButton::clicked, this, &SequencesControl::NewSequence);
    connect(run_, &QPushButton::clicked, this, &SequencesControl::Run);
    connect(save_, &QPushButton::clicked, this, &SequencesControl::SaveSequence);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(cliche_, &QPushButton::clicked, this, &SequencesControl::OpenGraphicCliche);
    connect(reference_, &QPushButton::clicked, this, &SequencesControl::OpenCommandReference);
    connect(help_, &QPushButton::clicked, this, &SequencesControl::ShowAbout);
    connect(settings_, &QPushButton::clicked, this, &SequencesControl::OpenSettings);
    connect(stop_box_, &QCheckBox::clicked, this, &SequencesControl::OnStopClicked);
    connect(pause_box_, &QCheckBox::clicked, this, &SequencesControl::OnPauseClicked);
    connect(runs_edit_, &QLineEdit::textChanged, this, &SequencesControl::OnRunsChanged);
    connect(delay_edit_, &QLineEdit::textChanged, this, &SequencesControl::OnDelayChanged);
    available_list_->installEventFilter(this);
    command_list_->installEventFilter(this);
    parameter_list_->installEventFilter(this);

    InstallHelpKey(this);
    resize(1060, 640);
    // Valid numbers in the fields from the start: the opening reads the controls before it
    // puts the configured options into them.
    WriteControls();
}

std::unique_ptr<QDialog> SequencesControl::ShowWait() {
    return std::make_unique<WaitDlg>(Str(IDS_AGUARDE), this);
}

void SequencesControl::Message(const std::string& text) { MessageText(Q(text)); }

void SequencesControl::MessageText(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStr(IDS_ORDAVO), text, QMessageBox::NoButton, this);
    box.addButton("OK", QMessageBox::AcceptRole);
    InstallHelpKey(&box);
    box.exec();
}

bool SequencesControl::AskYesNo(const std::string& text, bool empty_caption) {
    QMessageBox box(QMessageBox::Question, empty_caption ? QString() : QStr(IDS_ORDAVO), Q(text),
                    QMessageBox::NoButton, this);
    QAbstractButton* yes = box.addButton(QString("S\u00ed"), QMessageBox::YesRole);
    QAbstractButton* no = box.addButton(QString("No"), QMessageBox::NoRole);
    box.setDefaultButton(qobject_cast<QPushButton*>(yes));
    box.setEscapeButton(no);
    InstallHelpKey(&box);
    box.exec();
    return box.clickedButton() == yes;
}

// ----------------------------------------------------------------------------- lists

void SequencesControl::FillTypeAndAvailableLists() {
    const Settings& s = GetSettings();
    ClearList(type_list_);
    ClearList(available_list_);
    {
        QSignalBlocker block(type_list_);
        type_list_->addItem(MakeItem(""));
    }
    for (const Comando& c : available_) {
        const QString type = Q(c.tipo);
        bool known = false;
        for (int i = 0; i < type_list_->count() && !known; ++i)
            known = type_list_->item(i)->text().compare(type, Qt::CaseInsensitive) == 0;
        if (!known) {
            QSignalBlocker block(type_list_);
            InsertSorted(type_list_, c.tipo);
        }
        if (ComandoDisponivel(c, s)) {
            QSignalBlocker block(available_list_);
            InsertSorted(available_list_, c.titulo);
        }
    }
    // The empty entry sorts first.
    for (int i = 0; i < type_list_->count(); ++i)
        if (ItemBytes(type_list_->item(i)).empty()) SelectRow(type_list_, i);
}

void SequencesControl::FillSequenceList() {
    ClearList(sequence_list_);
    QSignalBlocker block(sequence_list_);
    for (const SequenciaComandos& seq : lista_.sequencias) sequence_list_->addItem(MakeItem(seq.titulo));
}

void SequencesControl::FillCommandList() {
    ClearList(command_list_);
    QSignalBlocker block(command_list_);
    for (const Comando& c : working_.comandos) command_list_->addItem(MakeItem(c.titulo));
}

void SequencesControl::ClearParameters() {
    parameter_list_->setRowCount(0);
    parameter_command_ = -1;
}

void SequencesControl::SizeColumnsToHeadings() {
    // The second column as wide as its heading; the last one as wide as its heading and its
    // longest value, or up to the list's right edge when there is room.
    QHeaderView* header = parameter_list_->horizontalHeader();
    const QFontMetrics heading_metrics(header->font());
    const QFontMetrics metrics(parameter_list_->font());
    const int padding = 24;
    // The names keep their width, widened (within reason) for names that would not fit.
    int first = kNameColumn;
    for (int row = 0; row < parameter_list_->rowCount(); ++row)
        if (const QTableWidgetItem* item = parameter_list_->item(row, 0))
            first = std::max(first, std::min(metrics.horizontalAdvance(item->text()) + 16, kNameColumnMax));
    parameter_list_->setColumnWidth(0, first);
    const int second = heading_metrics.horizontalAdvance(Q(kColOblig)) + padding;
    parameter_list_->setColumnWidth(1, second);
    int last = heading_metrics.horizontalAdvance(Q(kColValor)) + padding;
    for (int row = 0; row < parameter_list_->rowCount(); ++row)
        if (const QTableWidgetItem* item = parameter_list_->item(row, 2))
            last = std::max(last, metrics.horizontalAdvance(item->text()) + 16);
    const int room = parameter_list_->viewport()->width() - parameter_list_->columnWidth(0) - second;
    parameter_list_->setColumnWidth(2, std::max(last, room));
}

void SequencesControl::ShowParameters(int command) {
    ClearParameters();
    SizeColumnsToHeadings();
    if (command < 0 || command >= working_.NumeroComandos()) return;
    parameter_command_ = command;
    const Comando& c = working_.comandos[static_cast<size_t>(command)];
    parameter_list_->setRowCount(static_cast<int>(c.parametros.size()));
    int row = 0;
    for (const Parametro& p : c.parametros) {
        const QString texts[3] = {Q(p.titulo), Q(p.obrigatorio ? kSi : kNo), Q(p.valor)};
        for (int col = 0; col < 3; ++col) {
            auto* item = new QTableWidgetItem(texts[col]);
            // The whole text, for cells too narrow to show it.
            item->setToolTip(texts[col]);
            parameter_list_->setItem(row, col, item);
        }
        ++row;
    }
    SizeColumnsToHeadings();
}

void SequencesControl::StoreAnswer(int command, int parameter, const std::string& answer) {
    Comando& c = working_.comandos[static_cast<size_t>(command)];
    c.parametros[static_cast<size_t>(parameter)].valor = answer;
    if (parameter_command_ != command || parameter >= parameter_list_->rowCount()) return;
    QTableWidgetItem* item = parameter_list_->item(parameter, 2);
    if (!item) {
        item = new QTableWidgetItem;
        parameter_list_->setItem(parameter, 2, item);
    }
    item->setText(Q(answer));
    item->setToolTip(Q(answer));
    // Widens the column when the new value does not fit.
    SizeColumnsToHeadings();
}

void SequencesControl::OnTypeSelected() {
    ReadControls();
    const Settings& s = GetSettings();
    ClearList(available_list_);
    const int row = SelectedRow(type_list_);
    const std::string type = row >= 0 ? ItemBytes(type_list_->item(row)) : std::string();
    QSignalBlocker block(available_list_);
    for (const Comando& c : available_)
        if ((type.empty() || c.tipo == type) && ComandoDisponivel(c, s)) InsertSorted(available_list_, c.titulo);
}

void SequencesControl::OnSequenceSelected() {
    ReadControls();
    if (!insert_) working_ = SequenciaComandos();
    ClearList(command_list_);
    const int row = SelectedRow(sequence_list_);
    if (row >= 0 && row < lista_.Count()) {
        for (const Comando& c : lista_.sequencias[static_cast<size_t>(row)].comandos) working_.InserirComando(c, -1);
        FillCommandList();
        GetSettings().DefaultSequence = row;
    }
    ClearParameters();
}

void SequencesControl::OnCommandSelected() { ShowParameters(SelectedRow(command_list_)); }

// ----------------------------------------------------------------------------- commands

void SequencesControl::AddCommand() {
    ReadControls();
    const int s = SelectedRow(command_list_);
    const int chosen = SelectedRow(available_list_);
    if (chosen >= 0) {
        const std::string title = ItemBytes(available_list_->item(chosen));
        auto it = std::find_if(available_.begin(), available_.end(),
                               [&](const Comando& c) { return c.titulo == title; });
        if (it != available_.end()) {
            working_.InserirComando(*it, s < 0 ? -1 : s + 1);
            FillCommandList();
        }
    }
    SelectRow(command_list_, s + 1);
    ClearParameters();
}

void SequencesControl::RemoveCommand() {
    ReadControls();
    // Any selected command goes, also one without a title (such a command in a hand-written
    // file could otherwise never leave the sequence).
    const int s = SelectedRow(command_list_);
    if (s < 0 || s >= working_.NumeroComandos()) return;
    working_.RemoverComando(s);
    {
        QSignalBlocker block(command_list_);
        delete command_list_->takeItem(s);
    }
    ClearParameters();
    SelectRow(command_list_, s - 1);
}

void SequencesControl::EditSelectedParameters() {
    const int command = parameter_command_;
    if (command < 0 || command >= working_.NumeroComandos()) return;
    QList<int> rows;
    for (const QModelIndex& index : parameter_list_->selectionModel()->selectedRows()) rows << index.row();
    std::sort(rows.begin(), rows.end());
    for (int row : rows) {
        const auto& params = working_.comandos[static_cast<size_t>(command)].parametros;
        if (row < 0 || row >= static_cast<int>(params.size())) continue;
        const Parametro p = params[static_cast<size_t>(row)];
        if (IsHiddenType(p.formato)) continue;
        const std::string answer = EditarValor(p, *editors_);
        if (answer == kMarcaAnulacao) break;
        StoreAnswer(command, row, answer);
    }
}

void SequencesControl::EditAllParameters() {
    ReadControls();
    const int command = SelectedRow(command_list_);
    if (command < 0 || command >= working_.NumeroComandos()) return;
    // The rows show the command being edited, also when the selection came from the keyboard's
    // focus rule, which does not fill them.
    if (parameter_command_ != command) ShowParameters(command);
    const size_t count = working_.comandos[static_cast<size_t>(command)].parametros.size();
    for (size_t i = 0; i < count; ++i) {
        const Parametro p = working_.comandos[static_cast<size_t>(command)].parametros[i];
        if (IsHiddenType(p.formato)) continue;
        const std::string answer = EditarValor(p, *editors_);
        if (answer == kMarcaAnulacao) break;
        StoreAnswer(command, static_cast<int>(i), answer);
    }
}

// ----------------------------------------------------------------------------- the file

SequencesControl::NameResult SequencesControl::AskName(const std::string& initial, std::string& name) {
    StringEditor e;
    e.description = kDigiteNombre;
    e.limit = kNameLength;
    e.padded = true;
    e.initial = initial;
    const std::optional<std::string> typed = editors_->GetString(e);
    if (!typed) return NameResult::Cancelled;
    switch (NormalizarNomeSequencia(*typed, name)) {
        case NomeSequencia::Invalido:
            Message(kNombreInvalido);
            return NameResult::Refused;
        case NomeSequencia::Vazio:
            Message(kRegistroNoSalvo);
            return NameResult::Refused;
        case NomeSequencia::Valido:
            break;
    }
    return NameResult::Valid;
}

bool SequencesControl::StoreUnderName(SequenciaComandos sequence) {
    auto& list = lista_.sequencias;
    auto same = std::find_if(list.begin(), list.end(),
                             [&](const SequenciaComandos& s) { return s.titulo == sequence.titulo; });
    if (same != list.end()) {
        if (!AskYesNo(kSubstituir, false)) {
            Message(kRegistroNoSalvo);
            return false;
        }
        // The replaced sequence moves to the end of the file.
        list.erase(same);
    }
    list.push_back(std::move(sequence));
    int result;
    {
        std::unique_ptr<QDialog> wait = ShowWait();
        result = KeepUnreadableFile() ? lista_.Salvar(file_path_) : -1;
    }
    if (result != 0) {
        Message(kRegistroNoSalvo);
        return false;
    }
    return true;
}

bool SequencesControl::LoadFileInUse() {
    lista_.sequencias.clear();
    const bool loaded = lista_.Carregar(file_path_) == 0;
    std::error_code ec;
    unreadable_ = !loaded && std::filesystem::exists(file_path_, ec);
    return loaded;
}

bool SequencesControl::KeepUnreadableFile() {
    // A file that is there but could not be read shows as an empty list; saving writes the
    // whole list, so its old content would be gone. It is kept beside the new one first.
    if (!unreadable_) return true;
    std::error_code ec;
    if (!std::filesystem::exists(file_path_, ec)) return true;
    std::string backup = file_path_ + ".bak";
    for (int n = 2; std::filesystem::exists(backup, ec); ++n) backup = file_path_ + ".bak" + std::to_string(n);
    if (!std::filesystem::copy_file(file_path_, backup, ec) || ec) return false;
    unreadable_ = false;
    return true;
}

void SequencesControl::Reload() {
    std::unique_ptr<QDialog> wait = ShowWait();
    ClearList(sequence_list_);
    LoadFileInUse();
    FillSequenceList();
    if (lista_.Count() > 0) {
        FillCommandList();
        ClearParameters();
    }
}

void SequencesControl::UpdateDeleteButton() { delete_->setEnabled(lista_.Count() > 0); }

void SequencesControl::SaveSequence() {
    ReadControls();
    const int selected = SelectedRow(sequence_list_);
    const std::string initial =
        selected >= 0 && selected < lista_.Count() ? lista_.sequencias[static_cast<size_t>(selected)].titulo : "";
    std::string name;
    if (AskName(initial, name) != NameResult::Valid) return;

    SequenciaComandos copy = working_;
    copy.titulo = name;
    copy.resultado.clear();
    copy.dump_total.clear();
    const bool saved = StoreUnderName(std::move(copy));
    Reload();
    int row = -1;
    if (saved)
        for (int i = lista_.Count() - 1; i >= 0 && row < 0; --i)
            if (lista_.sequencias[static_cast<size_t>(i)].titulo == name) row = i;
    SelectRow(sequence_list_, row);
    if (lista_.Count() > 0) delete_->setEnabled(true);
}

void SequencesControl::NewSequence() {
    ReadControls();
    std::string name;
    const NameResult named = AskName("", name);
    if (named == NameResult::Refused) return;
    if (named == NameResult::Valid) {
        ClearList(command_list_);
        ClearParameters();
        working_ = SequenciaComandos();
        SequenciaComandos empty;
        empty.titulo = name;
        StoreUnderName(std::move(empty));
        Reload();
    }
    if (lista_.Count() > 0) delete_->setEnabled(true);
    SelectRow(sequence_list_, lista_.Count() - 1);
}

void SequencesControl::DeleteSequence() {
    if (!AskYesNo(kConfirmaExclusion, true)) return;
    ReadControls();
    // The entry the user selected, by its position: titles need not be unique, and the first
    // sequence of the same name may be another one.
    const int row = SelectedRow(sequence_list_);
    if (row < 0 || row >= lista_.Count()) {
        Message(kRegistroNoDeletado);
    } else {
        lista_.sequencias.erase(lista_.sequencias.begin() + row);
        int result;
        {
            std::unique_ptr<QDialog> wait = ShowWait();
            result = KeepUnreadableFile() ? lista_.Salvar(file_path_) : -1;
        }
        if (result != 0) Message(kRegistroNoDeletado);
    }
    Reload();
    SelectRow(command_list_, command_list_->count() - 1);
    if (lista_.Count() == 0) delete_->setEnabled(false);
}

void SequencesControl::LoadFile() {
    std::string chosen;
    if (!ChooseOpenFile(this, kTituloCargar, "*.XML", kFiltroSequencias, "", chosen)) return;
    std::unique_ptr<QDialog> wait = ShowWait();
    ClearList(sequence_list_);
    lista_.sequencias.clear();
    auto show = [this] {
        FillSequenceList();
        if (lista_.Count() > 0) {
            FillCommandList();
            ClearParameters();
        }
    };
    if (lista_.Carregar(chosen) == 0) {
        file_path_ = chosen;
        unreadable_ = false;
        show();
    } else if (LoadFileInUse()) {
        show();
        wait.reset();
        MessageText(Q(kCargarDeNovo).arg(QPath(chosen), QPath(file_path_)));
    } else {
        lista_.sequencias.clear();
        wait.reset();
        MessageText(Q(kCargarFalhou).arg(QPath(chosen)));
    }
    // "Excluir" follows the list now shown, so that a loaded file's sequences can be deleted.
    UpdateDeleteButton();
}

// ----------------------------------------------------------------------------- run options

bool SequencesControl::ReadNumber(QLineEdit* edit, int lower, int upper, int& value) {
    int read = 0;
    const CampoNumerico result = LerCampoInteiro(Cp(edit->text()), lower, upper, read);
    if (result == CampoNumerico::Ok) {
        value = read;
        return true;
    }
    // The value read before stays in use.
    Message(MensagemCampoInteiro(result, lower, upper));
    edit->setFocus();
    edit->selectAll();
    return false;
}

void SequencesControl::ReadControls() {
    insert_ = insert_box_->isChecked() ? 1 : 0;
    step_ = step_box_->isChecked() ? 1 : 0;
    stop_ = stop_box_->isChecked() ? 1 : 0;
    pause_ = pause_box_->isChecked() ? 1 : 0;
    // One message at a time: the first field that does not read stops the reading.
    if (!ReadNumber(runs_edit_, 1, kMaxRuns, runs_)) return;
    ReadNumber(delay_edit_, 0, kMaxDelay, delay_);
}

void SequencesControl::WriteControls() {
    const QSignalBlocker b1(runs_edit_), b2(delay_edit_);
    insert_box_->setChecked(insert_ != 0);
    step_box_->setChecked(step_ != 0);
    stop_box_->setChecked(stop_ != 0);
    pause_box_->setChecked(pause_ != 0);
    runs_edit_->setText(QString::number(runs_));
    delay_edit_->setText(QString::number(delay_));
}

void SequencesControl::OnRunsChanged() {
    ReadControls();
    GetSettings().LoopSequences = runs_;
}

void SequencesControl::OnDelayChanged() {
    ReadControls();
    GetSettings().DelayBetweenCommands = delay_;
}

void SequencesControl::OnStopClicked() {
    ReadControls();
    GetSettings().StopOnError = stop_;
}

void SequencesControl::OnPauseClicked() {
    ReadControls();
    GetSettings().PauseOnError = pause_;
}

// ----------------------------------------------------------------------------- run

void SequencesControl::Run() {
    ReadControls();
    body_->setEnabled(false);
    MessageReturnDlg result(this);

    ExecucaoRepetida options;
    options.runs = runs_;
    options.delay_seconds = delay_;
    options.step_by_step = step_;
    options.stop_on_error = stop_;
    options.pause_on_error = pause_;
    std::string collected, dumps;
    int32_t made = 0;
    last_run_result_ = ExecutarRepetido(working_, options, collected, dumps, &made);
    last_runs_made_ = made;
    last_run_text_ = collected;

    result.SetMessage(collected);
    result.SetDump(dumps);
    if (GetSettings().ShowResults) result.exec();
    body_->setEnabled(true);
}

// ----------------------------------------------------------------------------- other windows

void SequencesControl::OpenSettings() {
    ConfigDlg dialog(this, true, true);
    if (dialog.exec() != QDialog::Accepted) return;
    Settings& s = GetSettings();
    s.ShowResults = dialog.Fields().show_results;
    s.ExtendedReturn = dialog.Fields().extended_return;
}

void SequencesControl::ShowAbout() {
    auto* about = new AboutBoxDlg(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setModal(false);
    about->show();
}

void SequencesControl::OpenCommandReference() { OpenDocument(ReferenciaComandosSequencias(GetSettings())); }

void SequencesControl::OpenGraphicCliche() {
    GraphicClicheDlg dialog(this);
    dialog.exec();
}

// ----------------------------------------------------------------------------- keyboard

bool SequencesControl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsEnter(key)) {
            if (watched == parameter_list_) EditSelectedParameters();
            else if (watched == available_list_) AddCommand();
            else if (watched == command_list_) EditAllParameters();
            return true;
        }
        if (key->key() == Qt::Key_Delete && watched == command_list_) {
            RemoveCommand();
            return true;
        }
    } else if (event->type() == QEvent::FocusIn && (watched == available_list_ || watched == command_list_)) {
        auto* list = static_cast<QListWidget*>(watched);
        if (SelectedRow(list) < 0 && list->count() > 0) SelectRow(list, 0);
    }
    return QDialog::eventFilter(watched, event);
}

void SequencesControl::keyPressEvent(QKeyEvent* event) {
    // Enter does its work in the lists and nothing anywhere else; it never closes the window.
    if (IsEnter(event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void SequencesControl::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    SizeColumnsToHeadings();
}

void SequencesControl::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    SizeColumnsToHeadings();
}

void OpenSequencesControl(QWidget* parent, const std::vector<Comando>& catalog) {
    SequencesControl dialog(catalog, parent);
    dialog.exec();
}

}  // namespace ordavo::gui
