# Precompiled headers (vadrel_precompile, called once every target is made): the Qt and standard
# headers nearly every file includes are parsed once per tree instead of once per file, which
# takes the compiler's time for the program and the tool from 310 to 170 s. Two headers are
# made, one for the code that reaches Qt's widgets and one for the rest, and every target reuses
# one of them: a header per target would fill the disk (150 to 200 MB each).
option(VADREL_PCH "Precompile the Qt and standard headers most files include" ON)

set(VADREL_PCH_CORE <QByteArray> <QDir> <QFile> <QHash> <QList> <QObject> <QString>
    <QStringList> <QVariant> <algorithm> <functional> <memory> <optional> <string> <string_view>
    <vector>)
set(VADREL_PCH_WIDGETS <QAction> <QApplication> <QComboBox> <QDialog> <QGroupBox> <QLabel>
    <QLineEdit> <QPlainTextEdit> <QToolButton> <QVBoxLayout> <QWidget>)

# Which of Qt's parts `target` builds on, directly or through the project's own libraries:
# "widgets", "core" or nothing.
function(vadrel_qt_reached target result)
    set(seen)
    set(found)
    set(todo ${target})
    while(todo)
        list(POP_FRONT todo current)
        if(current IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${current})
        if(current MATCHES "^Qt6::(Widgets|Charts|PrintSupport)$")
            set(${result} widgets PARENT_SCOPE)
            return()
        elseif(current MATCHES "^Qt6::")
            set(found core)
        endif()
        if(NOT TARGET ${current})
            continue()
        endif()
        get_target_property(imported ${current} IMPORTED)
        if(imported)
            continue()
        endif()
        get_target_property(libraries ${current} LINK_LIBRARIES)
        if(libraries)
            list(APPEND todo ${libraries})
        endif()
    endwhile()
    set(${result} ${found} PARENT_SCOPE)
endfunction()

# Every C++ target of the folder and the folders below it.
function(vadrel_precompile_below folder)
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        get_target_property(sources ${target} SOURCES)
        list(FILTER sources INCLUDE REGEX "\\.cpp$")
        if(NOT type MATCHES "^(STATIC_LIBRARY|EXECUTABLE|OBJECT_LIBRARY)$" OR NOT sources
           OR target MATCHES "^vadrel_pch_")
            continue()
        endif()
        vadrel_qt_reached(${target} qt)
        if(qt)
            target_precompile_headers(${target} REUSE_FROM vadrel_pch_${qt})
        endif()
    endforeach()
    get_property(folders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    foreach(below IN LISTS folders)
        vadrel_precompile_below(${below})
    endforeach()
endfunction()

function(vadrel_precompile)
    file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/vadrel_pch.cpp CONTENT "")
    add_library(vadrel_pch_core OBJECT ${PROJECT_BINARY_DIR}/vadrel_pch.cpp)
    target_link_libraries(vadrel_pch_core PRIVATE Qt6::Core)
    target_precompile_headers(vadrel_pch_core PRIVATE ${VADREL_PCH_CORE})
    add_library(vadrel_pch_widgets OBJECT ${PROJECT_BINARY_DIR}/vadrel_pch.cpp)
    target_link_libraries(vadrel_pch_widgets PRIVATE Qt6::Widgets)
    target_precompile_headers(vadrel_pch_widgets PRIVATE ${VADREL_PCH_CORE} ${VADREL_PCH_WIDGETS})
    set_target_properties(vadrel_pch_core vadrel_pch_widgets PROPERTIES AUTOMOC OFF)
    vadrel_precompile_below(${PROJECT_SOURCE_DIR})
endfunction()

# A header is used only where the macros it was made with are the same; -pthread defines one, and
# most targets get it from their libraries, so every target gets it.
if(VADREL_PCH)
    add_compile_options(-pthread)
endif()

# ccache caches a file built with a precompiled header only when told that the header's macros
# and time stamps may be trusted. Set before any target is made, as each takes its launcher then.
# Such a file is found again only by its command line (ccache's direct lookup), so no definition
# may hold a path of the clone on files that do not use it (tests/CMakeLists.txt).
if(VADREL_PCH AND CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env
        CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
        ${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
