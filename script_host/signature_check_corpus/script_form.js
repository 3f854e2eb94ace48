// A small script that the build signs with rk_sign_scripts; its test checks
// the signature with the profile's script key.
function hello(name) {
    return "hello, " + name;
}

//d5d2b5fac8e31570a9f4f89c09296b4c0608808feab392e9e44c941905bd6d9c50bfd440c6bf42e531c6b340321f42abfc5b9fba54a04c60286e23d26f3fd387++