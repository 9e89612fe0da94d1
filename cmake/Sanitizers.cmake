if(ORVIX_SANITIZE)
  add_compile_options(-fsanitize=${ORVIX_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ORVIX_SANITIZE})
  # GCC's flow analysis sees the sanitizers' instrumentation and warns falsely inside the
  # standard library (std::regex, std::function); the plain build keeps the warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()

# Coverage feedback for libFuzzer in every library the fuzz targets link; the targets add the
# fuzzer's own main.
if(ORVIX_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
