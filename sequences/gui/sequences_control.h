// The sequence window: builds command sequences from the catalog, fills their parameters,
// keeps them in the sequence file, and runs them against the printer.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "engine/comando.h"
#include "params/core/value_editors.h"
#include "sequences/core/sequencia.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace ordavo::gui {

class SequencesControl : public QDialog {
    Q_OBJECT
public:
    // `catalog` is the main window's command list; the window keeps its own copy. `editors`
    // asks for parameter values and names (the desktop's windows when null).
    explicit SequencesControl(const std::vector<Comando>& catalog, QWidget* parent = nullptr,
                              ValueEditors* editors = nullptr);
    ~SequencesControl() override;

    // Runs the working sequence first when the configuration asks for a run at entry.
    int exec() override;

    const std::string& FilePath() const { return file_path_; }
    const ListaSequencias& Sequences() const { return lista_; }
    const SequenciaComandos& Working() const { return working_; }
    const std::vector<Comando>& Available() const { return available_; }
    // What the last "Ejecutar" left: its collected text and result, and how many runs it made.
    const std::string& LastRunText() const { return last_run_text_; }
    int LastRunResult() const { return last_run_result_; }
    int LastRunsMade() const { return last_runs_made_; }

    QListWidget* TypeList() const { return type_list_; }
    QListWidget* AvailableList() const { return available_list_; }
    QListWidget* SequenceList() const { return sequence_list_; }
    QListWidget* CommandList() const { return command_list_; }
    QTableWidget* ParameterList() const { return parameter_list_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* RemoveButton() const { return remove_; }
    QPushButton* LoadButton() const { return load_; }
    QPushButton* DeleteButton() const { return delete_; }
    QPushButton* NewButton() const { return new_; }
    QPushButton* RunButton() const { return run_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* ClicheButton() const { return cliche_; }
    QPushButton* ReferenceButton() const { return reference_; }
    QPushButton* HelpButton() const { return help_; }
    QPushButton* SettingsButton() const { return settings_; }
    QCheckBox* InsertBox() const { return insert_box_; }
    QCheckBox* StepBox() const { return step_box_; }
    QCheckBox* StopBox() const { return stop_box_; }
    QCheckBox* PauseBox() const { return pause_box_; }
    QLineEdit* DelayEdit() const { return delay_edit_; }
    QLineEdit* RunsEdit() const { return runs_edit_; }

public slots:
    void AddCommand();
    void RemoveCommand();
    void EditSelectedParameters();
    void EditAllParameters();
    void SaveSequence();  // "Grabar"
    void NewSequence();   // "Nueva"
    void DeleteSequence();  // "Excluir"
    void LoadFile();      // "Cargar"
    void Run();           // "Ejecutar"
    void OpenSettings();
    void ShowAbout();
    void OpenCommandReference();
    void OpenGraphicCliche();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    enum class NameResult { Cancelled, Refused, Valid };

    void BuildWindow();
    void FillTypeAndAvailableLists();
    void FillSequenceList();
    void FillCommandList();
    void ShowParameters(int command);
    void ClearParameters();
    void SizeColumnsToHeadings();
    void StoreAnswer(int command, int parameter, const std::string& answer);
    void ReadControls();
    bool ReadNumber(QLineEdit* edit, int lower, int upper, int& value);
    void WriteControls();
    void Reload();
    // Reads the file in use into the (emptied) list; notes a file that exists but did not read.
    bool LoadFileInUse();
    // Before the list replaces a file that did not read: a copy of it as "<file>.bak" (or
    // ".bak2", ...). False when the copy cannot be made; the file must not be written then.
    bool KeepUnreadableFile();
    void UpdateDeleteButton();
    NameResult AskName(const std::string& initial, std::string& name);
    bool StoreUnderName(SequenciaComandos sequence);

    void OnTypeSelected();
    void OnSequenceSelected();
    void OnCommandSelected();
    void OnRunsChanged();
    void OnDelayChanged();
    void OnStopClicked();
    void OnPauseClicked();

    void Message(const std::string& text);
    void MessageText(const QString& text);
    bool AskYesNo(const std::string& text, bool empty_caption);
    std::unique_ptr<QDialog> ShowWait();

    std::string file_path_;
    ListaSequencias lista_;
    SequenciaComandos working_;
    std::vector<Comando> available_;
    int runs_ = 1;
    int delay_ = 0;
    int step_ = 0;
    int insert_ = 0;
    int stop_ = 0;
    int pause_ = 0;
    int parameter_command_ = -1;
    bool unreadable_ = false;  // the file in use exists but did not read  // the command whose parameters the list shows
    std::string last_run_text_;
    int last_run_result_ = 0;
    int last_runs_made_ = 0;

    std::unique_ptr<ValueEditors> own_editors_;
    ValueEditors* editors_ = nullptr;

    QWidget* body_ = nullptr;
    QListWidget *type_list_ = nullptr, *available_list_ = nullptr, *sequence_list_ = nullptr,
                *command_list_ = nullptr;
    QTableWidget* parameter_list_ = nullptr;
    QPushButton *add_ = nullptr, *remove_ = nullptr, *load_ = nullptr, *delete_ = nullptr, *new_ = nullptr,
                *run_ = nullptr, *save_ = nullptr, *cancel_ = nullptr, *cliche_ = nullptr, *reference_ = nullptr,
                *help_ = nullptr, *settings_ = nullptr;
    QCheckBox *insert_box_ = nullptr, *step_box_ = nullptr, *stop_box_ = nullptr, *pause_box_ = nullptr;
    QLineEdit *delay_edit_ = nullptr, *runs_edit_ = nullptr;
};

// The main window's "Secuéncia de Comandos": the sequence window over `parent`, modal, with a
// copy of the catalog's commands.
void OpenSequencesControl(QWidget* parent, const std::vector<Comando>& catalog);

}  // namespace ordavo::gui
