# Signing the program's own scripts at build time.
#
#   rk_sign_scripts(<target> OUTPUT_DIR <dir> FILES <script>...)
#
# makes <target> (built by default) that writes each script, with its
# signature line appended by `rkctl sign-script`, to <dir>/<file name>, and
# then checks the result with `rkctl verify-script` against the script key of
# the profile being built, so a key that does not belong to the profile fails
# the build instead of producing scripts that will not run.
#
# The key comes from RK_SCRIPT_SIGNING_KEY (a PEM private key). It defaults to
# the repository's development key; a release passes its own key together with
# its own profile:
#   cmake -DRK_PROFILE=/secure/release.json \
#         -DRK_SCRIPT_SIGNING_KEY=/secure/script.key.pem ...
set(RK_SCRIPT_SIGNING_KEY "${CMAKE_SOURCE_DIR}/profile/dev-keys/script.key.pem" CACHE FILEPATH
    "PEM private key that signs the built-in scripts (must match the profile's script key)")

function(rk_sign_scripts target)
  cmake_parse_arguments(ARG "" "OUTPUT_DIR" "FILES" ${ARGN})
  if(NOT ARG_OUTPUT_DIR)
    message(FATAL_ERROR "rk_sign_scripts(${target}): OUTPUT_DIR is required")
  endif()
  set(outputs "")
  foreach(file IN LISTS ARG_FILES)
    get_filename_component(name "${file}" NAME)
    set(out "${ARG_OUTPUT_DIR}/${name}")
    add_custom_command(
      OUTPUT "${out}"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${ARG_OUTPUT_DIR}"
      COMMAND $<TARGET_FILE:rkctl> sign-script --key "${RK_SCRIPT_SIGNING_KEY}" --out "${out}" "${file}"
      COMMAND $<TARGET_FILE:rkctl> verify-script --quiet "${out}"
      DEPENDS "${file}" "${RK_SCRIPT_SIGNING_KEY}" rkctl
      COMMENT "Signing script ${name}"
      VERBATIM)
    list(APPEND outputs "${out}")
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
