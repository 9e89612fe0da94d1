if(ORVIX_SANITIZE)
  add_compile_options(-fsanitize=${ORVIX_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ORVIX_SANITIZE})
endif()
