// A small script that the build signs with rk_sign_scripts; its test checks
// the signature with the profile's script key.
function hello(name) {
    return "hello, " + name;
}
