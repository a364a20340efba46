# Builds Zintrel's Windows Installer package from zintrel.wxs with wixl, and
# with WINGET_DIR the three winget manifests that name it by its SHA-256.
# The build runs it for the shipped package; the installer test runs it again
# for a newer version to upgrade to.
#
#   cmake -DVERSION=1.0.0 -DPROGRAM=zintrel.exe -DICON=zintrel.ico
#         -DOUTPUT=zintrel-1.0.0-windows-x64.msi [-DWINGET_DIR=winget -DURL=...]
#         -P build-msi.cmake
foreach(name IN ITEMS VERSION PROGRAM ICON OUTPUT)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "build-msi.cmake: ${name} is not given")
  endif()
endforeach()
find_program(WIXL wixl REQUIRED)
find_program(MSIINFO msiinfo REQUIRED)
find_program(MSIBUILD msibuild REQUIRED)

# The upgrade code of zintrel.wxs. Each version's product code is made from
# it and the version, so a version always has the same code and a new
# version a new one, as a major upgrade wants.
set(upgrade_code 93ee2ad5-e92a-4df8-ad26-00ed55dd2f3a)
string(UUID product_code NAMESPACE ${upgrade_code} NAME "zintrel ${VERSION}" TYPE SHA1 UPPER)

get_filename_component(here ${CMAKE_CURRENT_LIST_FILE} DIRECTORY)
set(work ${OUTPUT}.work)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${work}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "build-msi.cmake: ${ARGN} failed (${status}):\n${out}")
  endif()
endfunction()
# wixl finds the files a package holds only by names relative to its working
# folder, so they are copied there.
file(COPY_FILE ${PROGRAM} ${work}/zintrel.exe)
file(COPY_FILE ${ICON} ${work}/zintrel.ico)
run(${WIXL} --arch x64 -D Version=${VERSION} -D ProductCode=${product_code}
    -D Program=zintrel.exe -D Icon=zintrel.ico -o zintrel.msi ${here}/zintrel.wxs)

# wixl gives HKMU the registry root 4, which no registry has; Windows
# Installer's is -1. The table is read out, mended, read back in and read
# once more as Windows Installer will. Its rows are Registry, Root, Key,
# Name, Value, Component_.
execute_process(COMMAND ${MSIINFO} export zintrel.msi Registry WORKING_DIRECTORY ${work}
                OUTPUT_VARIABLE rows RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "build-msi.cmake: msiinfo cannot read the package's Registry table")
endif()
string(REGEX REPLACE "(\n[^\t\n]+)\t4\t" "\\1\t-1\t" rows "${rows}")
file(WRITE ${work}/Registry.idt "${rows}")
run(${MSIBUILD} zintrel.msi -i Registry.idt)
execute_process(COMMAND ${MSIINFO} export zintrel.msi Registry WORKING_DIRECTORY ${work} OUTPUT_VARIABLE rows)
if(rows MATCHES "\n[^\t\n]+\t4\t" OR NOT rows MATCHES "\t-1\tSoftware\\\\Classes\\\\.zintrel\t")
  message(FATAL_ERROR "build-msi.cmake: the package's Registry table was not mended:\n${rows}")
endif()
file(RENAME ${work}/zintrel.msi ${OUTPUT})
file(REMOVE_RECURSE ${work})

# The winget manifests: version, installer and default locale, in the
# layout of the community repository's folders.
if(DEFINED WINGET_DIR)
  file(SHA256 ${OUTPUT} sha256)
  string(TOUPPER ${sha256} sha256)
  string(TOUPPER ${upgrade_code} upgrade_code)
  file(REMOVE_RECURSE ${WINGET_DIR})
  foreach(manifest IN ITEMS Zintrel.Zintrel.yaml Zintrel.Zintrel.installer.yaml Zintrel.Zintrel.locale.en-US.yaml)
    configure_file(${here}/winget/${manifest}.in ${WINGET_DIR}/${manifest} @ONLY)
  endforeach()
endif()
