# One static library per engine layer, named sv_<layer>, from src/<layer>/*.cpp. A layer whose
# folder holds no sources yet gets no target, so a later layer can be listed before it exists.
set(SV_ENGINE_LAYERS "")

# Fails the configure step when a file includes "<layer>/..." for a layer not in ALLOW.
function(sv_check_includes where)
    cmake_parse_arguments(PARSE_ARGV 1 CHECK "" "" "ALLOW")
    foreach(file ${CHECK_UNPARSED_ARGUMENTS})
        # An edited include is checked again at the next build, not only at the first configure.
        set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
        file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
        foreach(line ${includes})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z_]+)/.*" "\\1" layer "${line}")
            if(NOT layer IN_LIST CHECK_ALLOW)
                message(FATAL_ERROR "${file}: ${where} may not include \"${layer}/...\"; "
                    "it may include only ${CHECK_ALLOW}")
            endif()
        endforeach()
    endforeach()
endfunction()

# sv_layer(name below...): `below` are the layers it may use, each with its own allowed set.
function(sv_layer name)
    set(below ${ARGN})
    set(allowed ${name})
    set(libraries "")
    foreach(dependency ${below})
        list(APPEND allowed ${SV_LAYER_ALLOWED_${dependency}})
        if(TARGET sv_${dependency})
            list(APPEND libraries sv_${dependency})
        endif()
    endforeach()
    list(REMOVE_DUPLICATES allowed)
    set(SV_LAYER_ALLOWED_${name} ${allowed} PARENT_SCOPE)
    set(SV_ENGINE_LAYERS ${SV_ENGINE_LAYERS} ${name} PARENT_SCOPE)

    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.h)
    sv_check_includes(src/${name} ${sources} ${headers} ALLOW ${allowed})
    if(NOT sources)
        return()
    endif()
    add_library(sv_${name} STATIC ${sources})
    target_include_directories(sv_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_compile_options(sv_${name} PRIVATE ${SV_WARNINGS})
    target_link_libraries(sv_${name} PUBLIC ${libraries})
endfunction()
