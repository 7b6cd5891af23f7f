#include "files/ListeFile.h"
#include "widgets/Aspetto.h"

#include <QDir>
#include <QStorageInfo>

ListaUnita::ListaUnita(QWidget *parent) : QComboBox(parent) {
    QStringList radici;
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes())
        if (v.isValid() && !radici.contains(v.rootPath())) radici << v.rootPath();
    radici.removeAll(QDir::rootPath());
    radici.sort();
    radici.prepend(QDir::rootPath());
    for (const QString &r : radici)
        addItem(QDir::toNativeSeparators(r), r);
    setDriveDi(QDir::currentPath());
    connect(this, qOverload<int>(&QComboBox::activated), this, &ListaUnita::scelta);
}

QString ListaUnita::Drive() const {
    return currentData().toString();
}

void ListaUnita::setDriveDi(const QString &percorso) {
    const QString radice = QStorageInfo(percorso).rootPath();
    const int i = findData(radice);
    setCurrentIndex(i >= 0 ? i : 0);
    precedente_ = currentIndex();
}

void ListaUnita::scelta(int indice) {
    const QDir radice(itemData(indice).toString());
    if (!radice.isReadable()) {
        Avviso(this, QMessageBox::Warning,
               QStringLiteral("L'unità %1 non è leggibile.").arg(itemText(indice)));
        setCurrentIndex(precedente_);
        return;
    }
    precedente_ = indice;
    emit cambiata();
}

ListaCartelle::ListaCartelle(QWidget *parent) : QListWidget(parent) {
    setPath(QDir::currentPath());
    connect(this, &QListWidget::itemActivated, this, &ListaCartelle::apri);
}

bool ListaCartelle::setPath(const QString &percorso) {
    QDir dir(percorso);
    if (!dir.exists() || !dir.isReadable()) return false;
    percorso_ = QDir::cleanPath(dir.absolutePath());
    clear();
    // The folder's parents, from the root down, then the folder itself.
    QStringList catena;
    for (QDir d(percorso_);;) {
        catena.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp()) break;
    }
    int rientro = 0;
    for (const QString &c : catena) {
        const QString nome = QDir(c).isRoot() ? QDir::toNativeSeparators(c) : QDir(c).dirName();
        auto *voce = new QListWidgetItem(QString(rientro * 2, QLatin1Char(' ')) + nome, this);
        voce->setData(Qt::UserRole, c);
        ++rientro;
    }
    setCurrentRow(count() - 1);
    // Only folders: a link to a device (a COMn link) is listed as a folder by
    // the directory filter, so each entry is checked.
    for (const QFileInfo &sotto :
         dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (!sotto.isDir()) continue;
        auto *voce =
            new QListWidgetItem(QString(rientro * 2, QLatin1Char(' ')) + sotto.fileName(), this);
        voce->setData(Qt::UserRole, dir.filePath(sotto.fileName()));
    }
    return true;
}

void ListaCartelle::apri(QListWidgetItem *voce) {
    const QString destinazione = voce->data(Qt::UserRole).toString();
    if (!setPath(destinazione)) {
        Avviso(this, QMessageBox::Warning,
               QStringLiteral("La cartella %1 non è leggibile.")
                   .arg(QDir::toNativeSeparators(destinazione)));
        return;
    }
    emit cambiata();
}

ListaFile::ListaFile(QWidget *parent) : QListWidget(parent) {
    percorso_ = QDir::currentPath();
    Refresh();
    // Every choice of the operator: a click (even on the item already chosen),
    // and every move of the current item, by mouse or keyboard.
    connect(this, &QListWidget::itemClicked, this, &ListaFile::scelta);
    connect(this, &QListWidget::currentItemChanged, this, &ListaFile::scelta);
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (currentItem() && currentItem()->isSelected()) scelta();
    });
}

void ListaFile::scelta() {
    if (!muta_ && currentItem()) emit clic();
}

void ListaFile::focusInEvent(QFocusEvent *evento) {
    // Taking the focus makes the first file current: that chooses nothing.
    muta_ = true;
    QListWidget::focusInEvent(evento);
    muta_ = false;
}

void ListaFile::setPath(const QString &percorso) {
    const QString nuovo = QDir::cleanPath(QDir(percorso).absolutePath());
    if (nuovo != percorso_) { // another folder: no file of it is chosen yet
        muta_ = true;
        clear();
        muta_ = false;
    }
    percorso_ = nuovo;
    Refresh();
}

void ListaFile::setPattern(const QString &modello) {
    modello_ = modello;
    Refresh();
}

QString ListaFile::FileName() const {
    const QListWidgetItem *voce = currentItem();
    return voce ? voce->text() : QString();
}

void ListaFile::Refresh() {
    muta_ = true;
    const QList<QListWidgetItem *> evidenziati = selectedItems();
    const QString scelto = evidenziati.isEmpty() ? QString() : evidenziati.first()->text();
    clear();
    QDir dir(percorso_);
    dir.setNameFilters({modello_}); // matched without regard to case
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    // Files only (a link to a device is listed by the filter), hidden ones not.
    for (const QFileInfo &f : dir.entryInfoList())
        if (f.isFile() && !f.fileName().startsWith(QLatin1Char('.'))) addItem(f.fileName());
    // The file chosen before stays chosen.
    if (const auto trovati = findItems(scelto, Qt::MatchExactly);
        !scelto.isEmpty() && !trovati.isEmpty())
        setCurrentItem(trovati.first());
    muta_ = false;
}

bool ListaFile::scegli(const QString &nome) {
    const auto trovati = findItems(nome, Qt::MatchExactly);
    if (trovati.isEmpty()) return false;
    muta_ = true;
    setCurrentItem(trovati.first());
    muta_ = false;
    emit clic();
    return true;
}

void Concatena(ListaUnita *unita, ListaCartelle *cartelle, ListaFile *file,
               const std::function<void()> &cartellaAperta) {
    const auto aperta = [cartelle, file, cartellaAperta] {
        file->setPath(cartelle->Path());
        if (cartellaAperta) cartellaAperta();
    };
    QObject::connect(unita, &ListaUnita::cambiata, file, [unita, cartelle, aperta] {
        if (cartelle->setPath(unita->Drive())) aperta();
    });
    QObject::connect(cartelle, &ListaCartelle::cambiata, file, aperta);
}
