# The codec's test kit: the plain reference codec (ReferenceCodec.h) and the
# corpus of sample inputs (Corpus.h), built once as a library that the unit
# tests, the benchmarks and the fuzz targets link.
add_library(typecask_codec_testkit STATIC ${CMAKE_CURRENT_LIST_DIR}/ReferenceCodec.cpp
                                          ${CMAKE_CURRENT_LIST_DIR}/Corpus.cpp)
target_include_directories(typecask_codec_testkit PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(typecask_codec_testkit PRIVATE typecask_options)
