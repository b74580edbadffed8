# The components' layout, checked at every configure: a component library
# that links what its kind has no use for, or a component source that
# includes from above the components or from a kind it may not use, stops
# the build here.
#
#   components/controls  GUI controls: Qt Widgets and platform only
#   components/audio     audio: never the controls, never discs (no libburn, libisofs, libcdio)
#   components/disc      discs: may use audio, never the controls

set(_layout_forbidden_kv_controls kv_audio kv_disc PkgConfig::FFMPEG PkgConfig::CDIO PkgConfig::DATADISC
    PkgConfig::PULSE PkgConfig::ESPEAK mp3lame kv_id3v2)
set(_layout_forbidden_kv_audio kv_controls kv_disc PkgConfig::CDIO PkgConfig::DATADISC Qt6::Network)
set(_layout_forbidden_kv_disc kv_controls)
# Include prefixes each folder's sources may not use.
set(_layout_includes_controls "components/audio/" "components/disc/")
set(_layout_includes_audio "components/controls/" "components/disc/")
set(_layout_includes_disc "components/controls/")
# Below every subsystem: components include only components, platform and the tag codec.
set(_layout_includes_allowed "components/" "platform/" "tags/Id3v2Codec.h")

function(kelvane_check_layout)
  foreach(kind IN ITEMS controls audio disc)
    set(target kv_${kind})
    get_target_property(_links ${target} LINK_LIBRARIES)
    foreach(link IN LISTS _links)
      foreach(bad IN LISTS _layout_forbidden_${target})
        if(link STREQUAL bad OR link MATCHES "(^|/|lib)${bad}(\\.so|\\.a|$)")
          message(FATAL_ERROR "Layout: ${target} links ${link}, which components/${kind} may not use")
        endif()
      endforeach()
    endforeach()
    file(GLOB _src ${CMAKE_SOURCE_DIR}/components/${kind}/*.cpp ${CMAKE_SOURCE_DIR}/components/${kind}/*.h)
    foreach(file IN LISTS _src)
      file(STRINGS ${file} _includes REGEX "^#include \"")
      foreach(line IN LISTS _includes)
        file(RELATIVE_PATH _rel ${CMAKE_SOURCE_DIR} ${file})
        string(REGEX REPLACE "^#include \"([^\"]*)\".*" "\\1" _path "${line}")
        set(_allowed FALSE)
        foreach(ok IN LISTS _layout_includes_allowed)
          string(FIND "${_path}" "${ok}" _at)
          if(_at EQUAL 0)
            set(_allowed TRUE)
          endif()
        endforeach()
        if(NOT _allowed)
          message(FATAL_ERROR "Layout: ${_rel} includes ${_path}, from above the components")
        endif()
        foreach(bad IN LISTS _layout_includes_${kind})
          string(FIND "${_path}" "${bad}" _at)
          if(_at EQUAL 0)
            message(FATAL_ERROR "Layout: ${_rel} includes ${_path}; components/${kind} may not use ${bad}")
          endif()
        endforeach()
      endforeach()
    endforeach()
  endforeach()
endfunction()
kelvane_check_layout()
