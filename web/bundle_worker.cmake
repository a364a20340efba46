# Makes the worker of a page opened from disk: one script holding the
# worker's files in order, inside a function whose text the page starts the
# worker from (a worker there may not load files of its own).
#   cmake -DOUTPUT=zintrel-worker.js -DINPUTS="a.js;b.js" -P bundle_worker.cmake
set(text "// Made at build time from the page's worker files; see page_worker.js.\nfunction ZintrelWorkerMain() {\nvar ZintrelBundled = true;\n")
foreach(input IN LISTS INPUTS)
  file(READ ${input} part)
  string(APPEND text "${part}\n;\n")
endforeach()
string(APPEND text "}\n")
file(WRITE ${OUTPUT}.part "${text}")
file(RENAME ${OUTPUT}.part ${OUTPUT})
