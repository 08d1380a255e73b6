# Precompiled Qt headers, so that a build parses Qt's headers once per kind
# of target instead of once per source file: core for the libraries and the
# programs (QtCore's classes they use). Each kind's headers are compiled in
# a target of their own that links only QtCore: GCC takes a precompiled
# header only where every macro it was made with is defined alike
# (-Winvalid-pch says where not), and the targets that reuse it add their
# own macros and Qt modules on top. The suites have none: each is one file,
# and loading a precompiled Qt Test costs about what it saves.
#
# GCC only: clang refuses a precompiled header made with fewer macros, and
# the fuzz build is clang's.
set(kv_pch_core
  <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QElapsedTimer> <QFile> <QFileInfo> <QHash>
  <QJsonArray> <QJsonDocument> <QJsonObject> <QList> <QObject> <QRegularExpression> <QSaveFile>
  <QString> <QStringList> <QTimer> <QUrl> <QVariant>)
set(kv_pch_core_modules Qt6::Core)

# kind: core.
function(kv_precompile_headers target kind)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    return()
  endif()
  if(NOT TARGET kv_pch_${kind})
    set(source ${CMAKE_CURRENT_BINARY_DIR}/kv_pch_${kind}.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "// Only the precompiled headers.\n")
    add_library(kv_pch_${kind} OBJECT ${source})
    set_target_properties(kv_pch_${kind} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    target_link_libraries(kv_pch_${kind} PRIVATE ${kv_pch_${kind}_modules})
    target_precompile_headers(kv_pch_${kind} PRIVATE ${kv_pch_${kind}})
  endif()
  target_precompile_headers(${target} REUSE_FROM kv_pch_${kind})
endfunction()
