# Precompiled Qt headers, built once for the whole tree: one set for what
# links Qt Core only (or Qt Gui), one for what links Qt Widgets. Every target
# that links Qt reuses one of the two; the donors link nothing more than
# their Qt module, so a target defines at least what its donor was built with.
#
#   velto_precompilati(): call it once every target is defined.

include(${CMAKE_CURRENT_LIST_DIR}/Bersagli.cmake)

set(VELTO_PCH_CORE <QByteArray> <QCoreApplication> <QDateTime> <QDeadlineTimer> <QDir>
    <QElapsedTimer> <QFile> <QFileInfo> <QHash> <QList> <QObject> <QProcess>
    <QRegularExpression> <QString> <QStringList> <QTemporaryDir> <QTimer>)
set(VELTO_PCH_WIDGETS ${VELTO_PCH_CORE} <QAction> <QApplication> <QCheckBox> <QCloseEvent>
    <QDialog> <QFileDialog> <QHBoxLayout> <QHeaderView> <QKeyEvent> <QLabel> <QLineEdit>
    <QListWidget> <QMenu> <QMessageBox> <QPainter> <QPlainTextEdit> <QProgressBar>
    <QPushButton> <QTableWidget> <QVBoxLayout> <QWidget>)

# True in `esito` when target T links Qt Widgets, in `qt` when it links Qt
# at all, directly or through the project's libraries.
function(velto_qt_di esito qt t)
  set(visti "")
  set(coda "${t}")
  set(widgets FALSE)
  set(uno FALSE)
  while(coda)
    list(POP_FRONT coda b)
    if(b IN_LIST visti OR NOT TARGET "${b}")
      continue()
    endif()
    list(APPEND visti "${b}")
    if(b MATCHES "^Qt6?::")
      set(uno TRUE)
      if(b MATCHES "::Widgets$")
        set(widgets TRUE)
      endif()
      continue()
    endif()
    get_target_property(legami ${b} LINK_LIBRARIES)
    get_target_property(interfaccia ${b} INTERFACE_LINK_LIBRARIES)
    foreach(l IN LISTS legami interfaccia)
      if(l AND NOT l MATCHES "\\$<")
        list(APPEND coda "${l}")
      endif()
    endforeach()
  endwhile()
  set(${esito} ${widgets} PARENT_SCOPE)
  set(${qt} ${uno} PARENT_SCOPE)
endfunction()

function(velto_precompilati)
  set(vuoto ${PROJECT_BINARY_DIR}/precompilati.cpp)
  file(WRITE ${vuoto} "// The donor of the precompiled Qt headers: no code of its own.\n")
  add_library(velto_pch_core OBJECT ${vuoto})
  target_link_libraries(velto_pch_core PRIVATE Qt6::Core)
  target_precompile_headers(velto_pch_core PRIVATE ${VELTO_PCH_CORE})
  add_library(velto_pch_widgets OBJECT ${vuoto})
  target_link_libraries(velto_pch_widgets PRIVATE Qt6::Widgets)
  target_precompile_headers(velto_pch_widgets PRIVATE ${VELTO_PCH_WIDGETS})
  set_target_properties(velto_pch_core velto_pch_widgets PROPERTIES AUTOMOC OFF)

  velto_bersagli_in(bersagli "${PROJECT_SOURCE_DIR}")
  foreach(t IN LISTS bersagli)
    get_target_property(tipo ${t} TYPE)
    if(t MATCHES "^velto_pch_" OR NOT tipo MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    # The fuzzers build with their own instrumentation.
    get_target_property(opzioni ${t} COMPILE_OPTIONS)
    if("-fsanitize=fuzzer" IN_LIST opzioni)
      continue()
    endif()
    velto_qt_di(widgets qt ${t})
    if(widgets)
      target_precompile_headers(${t} REUSE_FROM velto_pch_widgets)
    elseif(qt)
      target_precompile_headers(${t} REUSE_FROM velto_pch_core)
    endif()
  endforeach()
endfunction()
