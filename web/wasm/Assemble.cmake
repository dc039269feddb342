# Puts the page together as one file: the HTML with its style, the compiled
# core (its WebAssembly inside) and the page's script written into it.
# cmake -DSOURCE=web/page -DCORE=quillmere_core.js -DOUTPUT=quillmere.html -P Assemble.cmake
file(READ "${SOURCE}/quillmere.html" page)
file(READ "${SOURCE}/quillmere.css" style)
file(READ "${CORE}" compiled)
file(READ "${SOURCE}/core.js" core)
file(READ "${SOURCE}/page.js" script)
# Inside a script element, "</script" would end it early.
foreach(part compiled core script)
  string(REPLACE "</script" "<\\/script" ${part} "${${part}}")
endforeach()
string(REPLACE "/*STYLE*/" "${style}" page "${page}")
string(REPLACE "/*COMPILED*/" "${compiled}" page "${page}")
string(REPLACE "/*CORE*/" "${core}" page "${page}")
string(REPLACE "/*SCRIPT*/" "${script}" page "${page}")
file(WRITE "${OUTPUT}" "${page}")
