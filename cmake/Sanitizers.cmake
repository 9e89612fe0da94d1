if(ORVIX_SANITIZE)
  add_compile_options(-fsanitize=${ORVIX_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ORVIX_SANITIZE})
endif()

# Coverage feedback for libFuzzer in every library the fuzz targets link; the targets add the
# fuzzer's own main.
if(ORVIX_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
