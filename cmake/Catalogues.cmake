# The programs' catalogues of texts, one Qt Linguist file (.ts) a program and a language.
# A translator adds a language with one file per program (translations/PROGRAM_LANG.ts) and its
# name in ORVIX_LANGUAGES below.
set(ORVIX_LANGUAGES ru)

find_package(Python3 COMPONENTS Interpreter REQUIRED)

# Compiles the .ts files of `program` (translations/PROGRAM_LANG.ts) into `target` as a table
# that `function_name()` returns, for programs without Qt: the .exe carries it, nothing is read
# beside it.
function(orvix_text_catalogues target program function_name)
  set(catalogues)
  foreach(language IN LISTS ORVIX_LANGUAGES)
    list(APPEND catalogues ${PROJECT_SOURCE_DIR}/translations/${program}_${language}.ts)
  endforeach()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${function_name}.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/ts-catalogue.py
            --function ${function_name} --out ${out} ${catalogues}
    DEPENDS ${PROJECT_SOURCE_DIR}/scripts/ts-catalogue.py ${catalogues}
    COMMENT "Catalogues of ${program}")
  target_sources(${target} PRIVATE ${out})
endfunction()
