#pragma once
// The three chained lists of the file windows: drives, folders, files.
// On Linux a "drive" is a mounted file system, "/" first.
// No operation here reads or writes a global.

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <functional>

// Drive list: choosing a drive emits cambiata(); a drive that cannot be read
// is reported and the previous choice kept.
class ListaUnita : public QComboBox {
    Q_OBJECT
  public:
    explicit ListaUnita(QWidget *parent = nullptr);
    QString Drive() const; // root path of the chosen drive
    // Chooses the drive that holds the given path.
    void setDriveDi(const QString &percorso);
  signals:
    void cambiata();

  private:
    void scelta(int indice);
    int precedente_ = 0;
};

// Folder list: the current folder with its parents first, then its subfolders
// (folders only).
// Double-click (or Enter) on an entry opens it and emits cambiata().
class ListaCartelle : public QListWidget {
    Q_OBJECT
  public:
    explicit ListaCartelle(QWidget *parent = nullptr);
    QString Path() const { return percorso_; }
    // Returns false (and keeps the folder shown) when the folder cannot be read.
    bool setPath(const QString &percorso);
  signals:
    void cambiata();

  private:
    void apri(QListWidgetItem *voce);
    QString percorso_;
};

// File list of one folder: its files (hidden ones not), filtered by a pattern
// matched without regard to case (files named X.VLT are common). clic() says
// the operator chose the current item: a click, or any move of the current
// item by mouse or keyboard (arrows, Home/End, a typed letter). Taking the
// focus and refilling the list choose nothing.
class ListaFile : public QListWidget {
    Q_OBJECT
  public:
    explicit ListaFile(QWidget *parent = nullptr);
    QString Path() const { return percorso_; }
    void setPath(const QString &percorso);
    void setPattern(const QString &modello);
    QString Pattern() const { return modello_; }
    QString FileName() const; // name of the selected file, without folder
    // Lists the folder's files again; the file chosen stays chosen.
    void Refresh();
    // Selects the named file (as a click would) and emits clic().
    bool scegli(const QString &nome);
  signals:
    void clic();

  protected:
    void focusInEvent(QFocusEvent *evento) override;

  private:
    void scelta();
    bool muta_ = false; // no choice while the list refills or takes the focus
    QString percorso_;
    QString modello_ = QStringLiteral("*.*");
};

// Chains the lists of a file window: a drive chosen opens its root among the
// folders (a root that cannot be read leaves the folder shown), and every
// folder opened there, by the operator or by a drive, is listed in the file
// list; then cartellaAperta, when given, runs for what else the window shows.
void Concatena(ListaUnita *unita, ListaCartelle *cartelle, ListaFile *file,
               const std::function<void()> &cartellaAperta = {});
