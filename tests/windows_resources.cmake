# cmake -DWINDRES=... -DEXE=Ostrel.exe -DVERSION=x.y.z -P windows_resources.cmake: reads the
# resources back out of the built program and checks its version and manifest.
execute_process(COMMAND ${WINDRES} -i ${EXE} -O rc OUTPUT_VARIABLE resources RESULT_VARIABLE status)
string(REPLACE "." ", " numbers "${VERSION}")
foreach(expected "FILEVERSION ${numbers}, 0" "PRODUCTVERSION ${numbers}, 0" "\"FileVersion\", \"${VERSION}\""
        "\"ProductVersion\", \"${VERSION}\"" "\"ProductName\", \"Ostrel\"" "\"FileDescription\", \"Ostrel: "
        "\"LegalCopyright\", \"Copyright (c) 2026 the Ostrel developers, MIT license\"" "level=\"\"asInvoker\"\""
        "supportedOS Id=\"\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"\"" ">true</longPathAware>")
  string(FIND "${resources}" "${expected}" at)
  if(NOT status EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "${EXE} lacks ${expected}")
  endif()
endforeach()
