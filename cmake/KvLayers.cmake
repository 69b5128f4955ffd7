# The program's layers, bottom to top. A library may link only libraries of its
# own layer or of a lower one; kv_check_layers() refuses the configuration
# otherwise. The include scan (KvCheckIncludes.cmake, the test kv_layers) does
# the same for #include lines and keeps widget headers out of the layers below
# views/.
set(KV_LAYERS resources engine document audio controller views app)

# kv_layer(LAYER target...): tags the targets with their layer.
function(kv_layer layer)
  list(FIND KV_LAYERS ${layer} index)
  if(index LESS 0)
    message(FATAL_ERROR "kv_layer: unknown layer ${layer}")
  endif()
  foreach(target IN LISTS ARGN)
    set_property(TARGET ${target} PROPERTY KV_LAYER ${layer})
    set_property(GLOBAL APPEND PROPERTY KV_LAYERED_TARGETS ${target})
  endforeach()
endfunction()

# Only the document layer may link Qt Widgets (for QUndoStack, which Qt 5
# keeps there); views and app are the widget layers.
set(KV_WIDGET_LAYERS document views app)

function(kv_check_layers)
  get_property(targets GLOBAL PROPERTY KV_LAYERED_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(layer ${target} KV_LAYER)
    list(FIND KV_LAYERS ${layer} level)
    get_target_property(links ${target} LINK_LIBRARIES)
    get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
    foreach(dep IN LISTS links interface)
      if(NOT dep OR NOT TARGET ${dep})
        continue()
      endif()
      if(dep STREQUAL "Qt5::Widgets" AND NOT layer IN_LIST KV_WIDGET_LAYERS)
        message(FATAL_ERROR "${target} (${layer}) links Qt5::Widgets: widget code belongs in views/")
      endif()
      get_target_property(dep_layer ${dep} KV_LAYER)
      if(NOT dep_layer)
        continue()
      endif()
      list(FIND KV_LAYERS ${dep_layer} dep_level)
      if(dep_level GREATER level)
        message(FATAL_ERROR "${target} (${layer}) links ${dep} (${dep_layer}), a higher layer")
      endif()
    endforeach()
  endforeach()
endfunction()
