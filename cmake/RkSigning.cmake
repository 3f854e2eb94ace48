# Signing the program's own scripts at build time (tool: rk-script-sign,
# which checks every result against the script key of the profile being
# built, so a key that does not belong to the profile fails the build
# instead of producing scripts that will not run).
#
#   rk_sign_scripts(<target> OUTPUT_DIR <dir> FILES <script>...)
#
# makes <target> (built by default) that writes each script, with its
# signature line appended, to <dir>/<file name>. The key comes from
# RK_SCRIPT_SIGNING_KEY (a PEM private key), by default the repository's
# development key; these are test and demo scripts.
#
#   rk_embed_signed_script(<target> SCRIPT <file> SYMBOL <name> [PROFILE_ITEM <item>])
#
# adds to <target> a generated source that defines
# `const std::string_view rk::embedded::<name>` over the signed script.
# A development profile (its script key is the development profile's)
# signs <file> with the repository's development key. Any other profile
# must name an already-signed script in its item <item> ("bootstrap_script"
# unless given; the script host's start-up scripts use "host_startup_script"
# and "async_host_startup_script")
# (relative paths from the profile's folder): private keys of a release
# never enter the build, and the build refuses such a profile without one.
get_filename_component(RK_REPO_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(RK_SCRIPT_SIGNING_KEY "${RK_REPO_ROOT}/profile/dev-keys/script.key.pem" CACHE FILEPATH
    "PEM private key that signs the test and demo scripts (must match the profile's script key)")
set(RK_DEV_SCRIPT_KEY "${RK_REPO_ROOT}/profile/dev-keys/script.key.pem")

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
      COMMAND $<TARGET_FILE:rk-script-sign> --key "${RK_SCRIPT_SIGNING_KEY}" --out "${out}" "${file}"
      DEPENDS "${file}" "${RK_SCRIPT_SIGNING_KEY}" rk-script-sign
      COMMENT "Signing script ${name}"
      VERBATIM)
    list(APPEND outputs "${out}")
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()

function(rk_embed_signed_script target)
  cmake_parse_arguments(ARG "" "SCRIPT;SYMBOL;PROFILE_ITEM" "" ${ARGN})
  if(NOT ARG_PROFILE_ITEM)
    set(ARG_PROFILE_ITEM bootstrap_script)
  endif()
  file(READ "${RK_REPO_ROOT}/profile/development.json" dev_profile)
  string(JSON dev_key GET "${dev_profile}" script_public_key)
  string(JSON key GET "${RK_PROFILE_JSON}" script_public_key)
  string(JSON presigned ERROR_VARIABLE missing GET "${RK_PROFILE_JSON}" ${ARG_PROFILE_ITEM})
  if(missing)
    set(presigned "")
  endif()
  set(out "${CMAKE_BINARY_DIR}/generated/embedded/${ARG_SYMBOL}.cpp")
  if(presigned STREQUAL "")
    string(TOLOWER "${key}" key)
    string(TOLOWER "${dev_key}" dev_key)
    if(NOT key STREQUAL dev_key)
      message(FATAL_ERROR "profile ${RK_PROFILE}: a profile with its own script key must name an already-signed "
                          "script in '${ARG_PROFILE_ITEM}'; the build signs only with the development key")
    endif()
    set(input "${ARG_SCRIPT}")
    set(key_args --key "${RK_DEV_SCRIPT_KEY}")
    set(key_dep "${RK_DEV_SCRIPT_KEY}")
  else()
    if(NOT IS_ABSOLUTE "${presigned}")
      get_filename_component(profile_dir "${RK_PROFILE}" DIRECTORY)
      set(presigned "${profile_dir}/${presigned}")
    endif()
    set(input "${presigned}")
    set(key_args "")
    set(key_dep "")
  endif()
  add_custom_command(
    OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/generated/embedded"
    COMMAND $<TARGET_FILE:rk-script-sign> ${key_args} --cpp "${out}" --symbol "${ARG_SYMBOL}" "${input}"
    DEPENDS "${input}" ${key_dep} rk-script-sign
    COMMENT "Embedding signed script ${ARG_SYMBOL}"
    VERBATIM)
  target_sources(${target} PRIVATE "${out}")
endfunction()
