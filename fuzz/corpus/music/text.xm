this is not a module
this is not a module
this is not a module
this is not a module
