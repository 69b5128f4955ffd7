# cmake -DSOURCE_DIR=<repo> -DWIDGETS_INCLUDE_DIR=<QtWidgets headers> -P KvCheckIncludes.cmake
cmake_minimum_required(VERSION 3.25)
#
# Fails when a source file of a layer includes a header of a higher layer, or
# when a layer below views/ includes a Qt Widgets header (QUndoStack and
# QUndoCommand excepted: the document model needs them) or a generated form.
set(layers resources engine document audio controller views app)
set(widget_free resources engine document audio controller)
set(allowed_widget_headers QUndoStack QUndoCommand)
# One file may include one more, for an enum type only: the controller's
# meta-object names QMessageBox::StandardButton in a slot signature.
set(allowed_file_headers "controller/KvQmlController.cpp:QMessageBox")

# Header name -> layer index.
set(index 0)
foreach(layer IN LISTS layers)
  file(GLOB_RECURSE headers RELATIVE ${SOURCE_DIR}/${layer} ${SOURCE_DIR}/${layer}/*.h)
  foreach(h IN LISTS headers)
    get_filename_component(name ${h} NAME)
    set(owner_${name} ${index})
    set(owner_layer_${name} ${layer})
  endforeach()
  math(EXPR index "${index} + 1")
endforeach()

set(widget_headers "")
if(WIDGETS_INCLUDE_DIR)
  file(GLOB widget_headers RELATIVE ${WIDGETS_INCLUDE_DIR} ${WIDGETS_INCLUDE_DIR}/Q*)
  list(REMOVE_ITEM widget_headers ${allowed_widget_headers})
endif()

set(errors "")
set(index 0)
foreach(layer IN LISTS layers)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp ${SOURCE_DIR}/${layer}/*.c)
  foreach(src IN LISTS sources)
    file(STRINGS ${src} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" inc "${line}")
      get_filename_component(name ${inc} NAME)
      if(DEFINED owner_${name} AND owner_${name} GREATER index)
        list(APPEND errors "${src}: includes ${inc} of ${owner_layer_${name}}/, a higher layer")
      endif()
      file(RELATIVE_PATH rel ${SOURCE_DIR} ${src})
      if(layer IN_LIST widget_free AND NOT "${rel}:${name}" IN_LIST allowed_file_headers)
        if(name IN_LIST widget_headers OR inc MATCHES "^QtWidgets/" OR name MATCHES "^ui_.*\\.h$")
          list(APPEND errors "${src}: includes the widget header ${inc} (widgets belong in views/)")
        endif()
      endif()
    endforeach()
  endforeach()
  math(EXPR index "${index} + 1")
endforeach()

if(errors)
  list(JOIN errors "\n" text)
  message(FATAL_ERROR "Layering broken:\n${text}")
endif()
message(STATUS "Layering holds")
