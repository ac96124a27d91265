#include "web/pages.h"

#include "web/records.h"

namespace tamovox::web {

namespace {

constexpr const char* kStyle = R"css(
body { font-family: "Liberation Sans", "DejaVu Sans", sans-serif; background: #10141c; color: #e8e8e8; margin: 0; }
header { background: #000; border-bottom: 3px solid #ffd400; padding: 14px 28px; }
header h1 { color: #ffd400; margin: 0; font-size: 28px; letter-spacing: 2px; }
header p { margin: 4px 0 0; color: #bbb; }
nav a { color: #ffd400; margin-right: 18px; text-decoration: none; }
main { max-width: 760px; margin: 24px auto; padding: 0 20px; }
section { background: #1b2230; border: 1px solid #2e3a50; border-radius: 10px; padding: 18px 24px; margin-bottom: 20px; }
h2 { color: #ffd400; margin-top: 0; font-size: 20px; }
label { display: block; margin: 10px 0 4px; font-weight: bold; }
input[type=text], input[type=email] { width: 100%; box-sizing: border-box; padding: 7px; border-radius: 5px;
  border: 1px solid #45536b; background: #0e121a; color: #fff; font-size: 15px; }
.row { display: flex; gap: 16px; } .row > div { flex: 1; }
small { display: block; margin-top: 3px; color: #9aa5b8; }
button { display: block; margin-top: 16px; background: #ffd400; color: #000; border: 0; border-radius: 6px; padding: 10px 22px;
  font-weight: bold; font-size: 16px; cursor: pointer; }
.ok { border-color: #2f8f4a; } .error { border-color: #b03030; }
code { background: #0e121a; padding: 1px 5px; border-radius: 4px; }
)css";

std::string layout(const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + htmlEscape(title) +
           "</title>\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<style>" + kStyle +
           "</style>\n</head>\n<body>\n<header><h1>TAMO-VOX</h1><p>Réseau de téléphonie de loisir pour PC</p>\n"
           "<nav><a href=\"/\">Inscription</a><a href=\"/installer.php\">Installer</a>"
           "<a href=\"/FR-Tamo-Vox.php\">Documentation</a></nav></header>\n<main>\n" +
           body + "\n</main>\n</body>\n</html>\n";
}

std::string field(const char* name, const char* label, const char* hint, bool required = false,
                  const char* pattern = nullptr, int maxLength = 0)
{
    std::string html = std::string("<label for=\"") + name + "\">" + label + "</label>\n<input type=\"text\" id=\"" +
                       name + "\" name=\"" + name + "\"";
    if (required)
        html += " required";
    if (pattern)
        html += std::string(" pattern=\"") + pattern + "\"";
    if (maxLength > 0)
        html += " maxlength=\"" + std::to_string(maxLength) + "\"";
    html += ">\n";
    if (hint && *hint)
        html += std::string("<small>") + hint + "</small>\n";
    return html;
}

}  // namespace

std::string homePage()
{
    std::string form =
        "<section>\n<h2>Inscrire un PC sur le réseau</h2>\n"
        "<p>Chaque PC est reconnu par son identifiant de 16 chiffres. Le client Tamo-Vox l'affiche avec la commande "
        "<code>tamovox --print-machine-id</code>. Un PC non inscrit se connecte comme invité.</p>\n"
        "<form method=\"post\" action=\"/inscription\" enctype=\"multipart/form-data\">\n" +
        field("machine_id", "Identifiant du PC", "16 chiffres, par exemple 0000000305441741.", true, "[0-9]{16}", 16) +
        field("name", "Nom affiché", "24 caractères au plus : il apparaît dans le message d'accueil.", true, nullptr, 24) +
        "<div class=\"row\"><div>\n" + field("first_name", "Prénom", "", false, nullptr, 40) + "</div><div>\n" +
        field("nickname", "Pseudo", "", false, nullptr, 40) + "</div></div>\n<div class=\"row\"><div>\n" +
        field("city", "Ville", "", false, nullptr, 40) + "</div><div>\n" +
        field("email", "Courriel", "", false, nullptr, 80) + "</div></div>\n" +
        field("phrase", "Votre phrase", "Affichée sous votre photo quand vous parlez.", false, nullptr, 80) +
        "<label for=\"picture\">Photo</label>\n<input type=\"file\" id=\"picture\" name=\"picture\" "
        "accept=\"image/png,image/jpeg\">\n<small>PNG ou JPEG ; réduite à 240 x 240 pixels au plus. "
        "Sans photo, un portrait est dessiné pour vous.</small>\n"
        "<button type=\"submit\">Créer le compte</button>\n</form>\n</section>\n"
        "<section>\n<h2>Conditions d'utilisation</h2>\n<p>Le réseau est réservé à la conversation de loisir. "
        "Soyez courtois sur les canaux, ne monopolisez pas la parole et ne partagez que des images que vous avez "
        "le droit de diffuser.</p>\n</section>";
    return layout("Tamo-Vox - Inscription", form);
}

std::string installerPage()
{
    return layout("Tamo-Vox - Installer",
                  "<section>\n<h2>Installer le client Tamo-Vox</h2>\n"
                  "<p>Votre version du client doit être mise à jour pour rester sur le réseau.</p>\n<ol>\n"
                  "<li>Récupérez la dernière version des sources du projet.</li>\n"
                  "<li>Lancez <code>./run</code> : les paquets manquants sont installés, le client est compilé "
                  "puis démarré.</li>\n<li>Pour un serveur déjà en place, indiquez son adresse avec "
                  "<code>TAMOVOX_WEB_URL</code> et son certificat avec <code>TAMOVOX_CA_FILE</code>.</li>\n</ol>\n"
                  "</section>");
}

std::string documentationPage()
{
    return layout("Tamo-Vox - Documentation",
                  "<section>\n<h2>Utiliser Tamo-Vox</h2>\n<ul>\n"
                  "<li><b>Parler</b> : maintenez la barre d'espace (ou le bouton de l'adaptateur USB) et parlez ; "
                  "relâchez pour écouter.</li>\n"
                  "<li><b>Canaux</b> : onze canaux, de 0 « Bienvenue » à 10 ; les flèches du clavier changent de "
                  "canal.</li>\n"
                  "<li><b>Voyants</b> : TX-RX s'allume en émission, HTTPS montre les échanges avec ce site.</li>\n"
                  "<li><b>Profil</b> : la photo, le prénom, la ville et la phrase de la personne qui parle "
                  "s'affichent sur la fenêtre principale.</li>\n"
                  "<li><b>Couleur de fond</b> : le bouton PARAMS la change ; elle est gardée sur votre compte.</li>\n"
                  "<li><b>Quitter</b> : touche Échap ou la croix rouge. Sans activité, le programme se ferme "
                  "de lui-même.</li>\n</ul>\n</section>");
}

std::string enrolledPage(int number, const std::string& displayName)
{
    return layout("Tamo-Vox - Compte créé",
                  "<section class=\"ok\">\n<h2>Compte créé</h2>\n<p>Bienvenue " + htmlEscape(displayName) +
                      " ! Votre numéro de compte est <b>" + std::to_string(number) +
                      "</b>.</p>\n<p>Redémarrez le client Tamo-Vox : il vous saluera par votre nom.</p>\n</section>");
}

std::string errorPage(const std::string& title, const std::string& reason)
{
    return layout("Tamo-Vox - " + title, "<section class=\"error\">\n<h2>" + htmlEscape(title) + "</h2>\n<p>" +
                                             htmlEscape(reason) +
                                             "</p>\n<p><a href=\"/\" style=\"color:#ffd400\">Retour</a></p>\n</section>");
}

}  // namespace tamovox::web
